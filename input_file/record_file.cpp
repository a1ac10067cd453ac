#include "input_file/record_file.h"

#include "guidance/hints.h"
#include "hexrec/hexrec.h"

TextCheck CheckRecordFile(std::FILE* fp, long* badLine, const char** why, uint64_t* digest) {
    char line[kMaxRecordChars + 2];
    long number = 0;
    for (;;) {
        std::size_t length = 0;
        const TextRead got = ReadTextLine(fp, line, sizeof line, &length);
        ++number;
        if (got == TextRead::kEnd) {
            break;
        }
        if (got == TextRead::kReadError) {
            return TextCheck::kReadError;
        }
        if (got == TextRead::kTooLong) {
            *badLine = number;
            *why = "is longer than the largest record";
            return TextCheck::kBadLine;
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
            return TextCheck::kBadLine;
        }
        if (IsEndRecord(RecordLength(line), RecordType(line))) {
            break;
        }
    }
    return RewindText(fp) == 0 ? TextCheck::kSound : TextCheck::kReadError;
}

int CheckRecordFileAndReport(std::FILE* fp, const char* name, uint64_t* digest) {
    long badLine = 0;
    const char* why = nullptr;
    // Checked first: the line and the reason are known only afterwards.
    const TextCheck checked = CheckRecordFile(fp, &badLine, &why, digest);
    return ReportTextCheck(checked, name, badLine, why);
}

std::FILE* OpenRecordFile(const char* program, const char* name, char* fileName, std::size_t size,
                          FileStamp* stamp, uint64_t* digest) {
    std::FILE* fp = OpenInputFile(name);
    if (fp == nullptr) {
        HintOptionLike(program, name);
        return nullptr;
    }
    std::snprintf(fileName, size, "%s", name);
    std::printf("FILE: '%s'\n", fileName);
    if (stamp != nullptr) {
        StampFile(fp, stamp);
    }
    if (CheckRecordFileAndReport(fp, fileName, digest) != 0) {
        std::fclose(fp);
        return nullptr;
    }
    return fp;
}

RecordRead ReadRecord(std::FILE* fp, const char* name, const FileStamp& stamp, char* line,
                      std::size_t size, uint64_t* digest, long* lineNumber) {
    if (FileChangedSince(fp, stamp)) {
        std::printf(kFileChangedText, name);
        return RecordRead::kFault;
    }
    std::size_t length = 0;
    const TextRead got = ReadTextLine(fp, line, size, &length);
    if (got == TextRead::kEnd) {
        return RecordRead::kNoMore;
    }
    ++*lineNumber;
    if (got != TextRead::kRead || (length > 0 && CheckRecordLine(line, length) != nullptr)) {
        std::printf("\nERROR: Cannot Read File '%s'\n", name);
        return RecordRead::kFault;
    }
    AddToDigest(digest, line, length);
    if (length == 0) {
        return RecordRead::kEmptyLine;
    }
    return IsEndRecord(RecordLength(line), RecordType(line)) ? RecordRead::kNoMore
                                                             : RecordRead::kRecord;
}
