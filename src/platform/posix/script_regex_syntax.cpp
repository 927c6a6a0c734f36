#include "platform/posix/script_regex_syntax.h"

namespace korvo::posix {

namespace {

// PCRE2 escapes with no counterpart in the script engine's syntax: a pattern using one is
// refused rather than given a meaning the engine never had.
constexpr std::u16string_view kRefusedEscapes = u"AZzGKQEpPXRhNgo";
// Letter escapes that mean the same in both syntaxes ('\v' is rewritten separately).
constexpr std::u16string_view kSharedEscapes = u"bBdDwWsSfnrtcxu";
// The script engine's '.': any code unit but a line terminator.
constexpr std::u16string_view kAnyButLineTerminator = u"[^\\n\\r\\u2028\\u2029]";

bool IsAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// The length of a counted quantifier {n}, {n,} or {n,m} starting at `at`, or 0.
std::size_t CountedQuantifierLength(std::u16string_view text, std::size_t at)
{
    std::size_t pos = at + 1;
    const std::size_t firstDigit = pos;
    while (pos < text.size() && IsDigit(text[pos])) {
        ++pos;
    }
    if (pos == firstDigit) {
        return 0;
    }
    if (pos < text.size() && text[pos] == u',') {
        ++pos;
        while (pos < text.size() && IsDigit(text[pos])) {
            ++pos;
        }
    }
    if (pos < text.size() && text[pos] == u'}') {
        return pos + 1 - at;
    }
    return 0;
}

class Translator {
public:
    explicit Translator(std::u16string_view pattern) : in_(pattern) {}

    std::optional<std::u16string> Run()
    {
        while (pos_ < in_.size()) {
            const bool ok = in_[pos_] == u'\\' ? Escape() : inClass_ ? ClassUnit() : Unit();
            if (!ok) {
                return std::nullopt;
            }
        }
        return std::move(out_);
    }

private:
    enum class Repeat { None, Quantified, Lazy };

    bool Escape()
    {
        if (pos_ + 1 >= in_.size()) {
            return false;
        }
        const char16_t escaped = in_[pos_ + 1];
        pos_ += 2;
        repeat_ = Repeat::None;
        if (!IsAsciiLetter(escaped)) {
            out_ += u'\\';
            out_ += escaped;
            return true;
        }
        if (kRefusedEscapes.find(escaped) != std::u16string_view::npos) {
            return false;
        }
        if (escaped == u'v') {
            out_ += u"\\x0B";
        } else if (kSharedEscapes.find(escaped) != std::u16string_view::npos) {
            out_ += u'\\';
            out_ += escaped;
        } else {
            out_ += escaped;
        }
        return true;
    }

    bool ClassUnit()
    {
        const char16_t c = in_[pos_++];
        if (c == u']') {
            inClass_ = false;
        }
        // A '[' inside a class is literal in the script syntax; unescaped, PCRE2 might read
        // it as the start of a POSIX class name.
        if (c == u'[') {
            out_ += u'\\';
        }
        out_ += c;
        return true;
    }

    bool Unit()
    {
        const char16_t c = in_[pos_];
        switch (c) {
        case u'*':
        case u'+':
        case u'?':
            return Quantifier(c);
        case u'{':
            if (const std::size_t length = CountedQuantifierLength(in_, pos_)) {
                return CountedQuantifier(length);
            }
            out_ += u"\\{";
            ++pos_;
            break;
        case u'[':
            inClass_ = true;
            out_ += c;
            ++pos_;
            if (pos_ < in_.size() && in_[pos_] == u'^') {
                out_ += in_[pos_++];
            }
            break;
        case u'.':
            out_ += kAnyButLineTerminator;
            ++pos_;
            break;
        case u'(':
            if (!Group()) {
                return false;
            }
            break;
        default:
            out_ += c;
            ++pos_;
            break;
        }
        repeat_ = Repeat::None;
        return true;
    }

    bool Group()
    {
        const char16_t next = pos_ + 1 < in_.size() ? in_[pos_ + 1] : u'\0';
        if (next == u'*') {
            return false; // PCRE2 verbs and options
        }
        if (next != u'?') {
            out_ += u'(';
            ++pos_;
            return true;
        }
        const char16_t kind = pos_ + 2 < in_.size() ? in_[pos_ + 2] : u'\0';
        if (kind != u':' && kind != u'=' && kind != u'!') {
            return false; // lookbehind, named and atomic groups, inline options
        }
        out_.append(in_.substr(pos_, 3));
        pos_ += 3;
        return true;
    }

    bool Quantifier(char16_t c)
    {
        ++pos_;
        if (repeat_ == Repeat::Quantified && c == u'?') {
            out_ += c;
            repeat_ = Repeat::Lazy;
            return true;
        }
        // Possessive quantifiers and quantified quantifiers are refused.
        if (repeat_ != Repeat::None) {
            return false;
        }
        out_ += c;
        repeat_ = Repeat::Quantified;
        return true;
    }

    bool CountedQuantifier(std::size_t length)
    {
        if (repeat_ != Repeat::None) {
            return false;
        }
        out_.append(in_.substr(pos_, length));
        pos_ += length;
        repeat_ = Repeat::Quantified;
        return true;
    }

    std::u16string_view in_;
    std::size_t pos_ = 0;
    std::u16string out_;
    bool inClass_ = false;
    Repeat repeat_ = Repeat::None;
};

} // namespace

std::optional<std::u16string> TranslateScriptRegex(std::u16string_view pattern)
{
    return Translator(pattern).Run();
}

} // namespace korvo::posix
