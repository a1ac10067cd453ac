#include "programs/common/record_file.h"

#include "hexrec/hexrec.h"
#include "programs/common/input_file.h"

namespace {
constexpr int kCtrlZ = 0x1A;
}

int ReadTextLine(std::FILE* fp, char* line, std::size_t size, std::size_t* length) {
    std::size_t count = 0;
    bool tooLong = false;
    bool gotAny = false;
    for (;;) {
        int c = std::getc(fp);
        if (c == EOF || c == kCtrlZ) {
            if (c == EOF && std::ferror(fp)) {
                return kLineReadError;
            }
            if (c == kCtrlZ) {
                // Leave the stream at its end so later reads see end of file.
                std::fseek(fp, 0, SEEK_END);
            }
            if (!gotAny) {
                return kLineEndOfFile;
            }
            break;
        }
        gotAny = true;
        if (c == '\n') {
            break;
        }
        if (count + 1 < size) {
            line[count++] = static_cast<char>(c);
        } else {
            tooLong = true;
        }
    }
    if (count > 0 && line[count - 1] == '\r') {
        --count;
    }
    line[count] = '\0';
    *length = count;
    return tooLong ? kLineTooLong : kLineRead;
}

int CheckRecordFile(std::FILE* fp, long* badLine, const char** why, uint64_t* digest) {
    char line[kMaxRecordChars + 2];
    long number = 0;
    for (;;) {
        std::size_t length = 0;
        int got = ReadTextLine(fp, line, sizeof line, &length);
        ++number;
        if (got == kLineEndOfFile) {
            break;
        }
        if (got == kLineReadError) {
            return kLineReadError;
        }
        if (got == kLineTooLong) {
            *badLine = number;
            *why = "is longer than the largest record";
            return -1;
        }
        if (digest != nullptr) {
            AddToDigest(digest, line, length);
        }
        if (length == 0) {
            continue;
        }
        const char* fault = CheckRecordLine(line, length);
        if (fault != nullptr) {
            *badLine = number;
            *why = fault;
            return -1;
        }
        if (IsEndRecord(RecordLength(line), RecordType(line))) {
            break;
        }
    }
    std::clearerr(fp);
    if (std::fseek(fp, 0, SEEK_SET) != 0) {
        return kLineReadError;
    }
    return 0;
}

int CheckRecordFileAndReport(std::FILE* fp, const char* name, uint64_t* digest) {
    long badLine = 0;
    const char* why = nullptr;
    int checked = CheckRecordFile(fp, &badLine, &why, digest);
    if (checked == kLineReadError) {
        std::printf("ERROR: Cannot Read File '%s'\n", name);
    } else if (checked != 0) {
        std::printf("ERROR: Line %ld of '%s' %s; nothing was sent\n", badLine, name, why);
    }
    return checked == 0 ? 0 : -1;
}
