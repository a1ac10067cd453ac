#include "input_file/text_file.h"

namespace {

constexpr int kCtrlZ = 0x1A;

// What NextTextByte gives besides a byte.
constexpr int kTextEnd = -1;
constexpr int kTextFault = -2;

// The one byte source of every reader: the next byte of `fp` (0..255), or
// kTextEnd at the end of the text, or kTextFault when the stream fails. A
// Ctrl-Z is pushed back rather than sought past, so the end holds on streams
// that cannot seek as well: every later read meets it again.
int NextTextByte(std::FILE* fp) {
    const int c = std::getc(fp);
    if (c == EOF) {
        return std::ferror(fp) ? kTextFault : kTextEnd;
    }
    if (c == kCtrlZ) {
        std::ungetc(c, fp);
        return kTextEnd;
    }
    return c;
}

}  // namespace

TextRead ReadTextLine(std::FILE* fp, char* line, std::size_t size, std::size_t* length) {
    if (size == 0) {
        return TextRead::kReadError;
    }
    std::size_t count = 0;
    bool tooLong = false;
    bool gotAny = false;
    for (;;) {
        const int c = NextTextByte(fp);
        if (c == kTextFault) {
            return TextRead::kReadError;
        }
        if (c == kTextEnd) {
            if (!gotAny) {
                return TextRead::kEnd;
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
    return tooLong ? TextRead::kTooLong : TextRead::kRead;
}

TextRead ReadTextPiece(std::FILE* fp, char* piece, std::size_t size, std::size_t* length) {
    *length = 0;
    if (size > 0) {
        piece[0] = '\0';
    }
    if (size < 2) {
        return TextRead::kReadError;
    }
    std::size_t count = 0;
    while (count + 1 < size) {
        int c = NextTextByte(fp);
        if (c == kTextFault) {
            piece[0] = '\0';
            return TextRead::kReadError;
        }
        if (c == kTextEnd) {
            break;
        }
        if (c == '\r') {
            // A CR LF pair reads as its LF; any other byte after the CR is
            // put back for the next round, and an end stays where it is.
            const int next = NextTextByte(fp);
            if (next == kTextFault) {
                piece[0] = '\0';
                return TextRead::kReadError;
            }
            if (next == '\n') {
                c = '\n';
            } else if (next != kTextEnd) {
                std::ungetc(next, fp);
            }
        }
        piece[count++] = static_cast<char>(c);
        if (c == '\n') {
            break;
        }
    }
    piece[count] = '\0';
    *length = count;
    return count == 0 ? TextRead::kEnd : TextRead::kRead;
}

int RewindText(std::FILE* fp) {
    std::clearerr(fp);
    return std::fseek(fp, 0, SEEK_SET) == 0 ? 0 : -1;
}

void AddToDigest(uint64_t* digest, const char* text, std::size_t length) {
    constexpr uint64_t kPrime = 1099511628211ULL;
    uint64_t value = *digest;
    for (std::size_t i = 0; i < length; ++i) {
        value = (value ^ static_cast<unsigned char>(text[i])) * kPrime;
    }
    for (std::size_t shift = 0; shift < 64; shift += 8) {
        value = (value ^ ((static_cast<uint64_t>(length) >> shift) & 0xFF)) * kPrime;
    }
    *digest = value;
}

int ReportTextCheck(TextCheck checked, const char* name, long badLine, const char* why) {
    if (checked == TextCheck::kReadError) {
        std::printf("ERROR: Cannot Read File '%s'\n", name);
    } else if (checked == TextCheck::kBadLine) {
        std::printf("ERROR: Line %ld of '%s' %s; nothing was sent\n", badLine, name, why);
    }
    return checked == TextCheck::kSound ? 0 : -1;
}
