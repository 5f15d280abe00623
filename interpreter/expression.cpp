#include "interpreter/expression.h"

#include <limits>

namespace zev {

ConversionError::ConversionError(TextView text)
    : std::runtime_error("'" + ToUtf8(text) + "' is not a valid integer value") {}

namespace {

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads the magnitude and sign; the caller range-checks. Returns nothing for text
// that is not an integer or whose magnitude exceeds 64 bits.
struct ParsedInteger {
    bool negative = false;
    bool hexadecimal = false;
    uint64_t magnitude = 0;
};

std::optional<ParsedInteger> ParseMagnitude(TextView text) {
    size_t at = 0;
    while (at < text.size() && text[at] == u' ') ++at;
    ParsedInteger parsed;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) {
        parsed.negative = text[at] == u'-';
        ++at;
    }
    if (at < text.size() && (text[at] == u'$' || text[at] == u'x' || text[at] == u'X')) {
        parsed.hexadecimal = true;
        ++at;
    } else if (at + 1 < text.size() && text[at] == u'0' && (text[at + 1] == u'x' || text[at + 1] == u'X')) {
        parsed.hexadecimal = true;
        at += 2;
    }
    if (at == text.size()) return std::nullopt;
    const uint64_t base = parsed.hexadecimal ? 16 : 10;
    for (; at < text.size(); ++at) {
        const int digit = parsed.hexadecimal ? HexDigit(text[at]) : (text[at] >= u'0' && text[at] <= u'9' ? text[at] - u'0' : -1);
        if (digit < 0) return std::nullopt;
        // Overflow checks without a division per digit: every Mathematics operand is read here.
        if (__builtin_mul_overflow(parsed.magnitude, base, &parsed.magnitude) ||
            __builtin_add_overflow(parsed.magnitude, static_cast<uint64_t>(digit), &parsed.magnitude))
            return std::nullopt;
    }
    return parsed;
}

std::optional<int64_t> ParseWithWidth(TextView text, int bits) {
    const auto parsed = ParseMagnitude(text);
    if (!parsed) return std::nullopt;
    const uint64_t unsigned_max = bits == 64 ? std::numeric_limits<uint64_t>::max() : (uint64_t{1} << bits) - 1;
    const uint64_t signed_max = unsigned_max >> 1;
    uint64_t value;
    if (parsed->hexadecimal) {
        if (parsed->magnitude > unsigned_max) return std::nullopt;
        value = parsed->magnitude;
    } else {
        if (parsed->magnitude > signed_max + (parsed->negative ? 1 : 0)) return std::nullopt;
        value = parsed->magnitude;
    }
    if (parsed->negative) value = ~value + 1;
    // Sign-extend from the width.
    if (bits < 64) {
        value &= unsigned_max;
        if (value > signed_max) value |= ~unsigned_max;
    }
    return static_cast<int64_t>(value);
}

}  // namespace

std::optional<int64_t> ParseInteger64(TextView text) {
    return ParseWithWidth(text, 64);
}

std::optional<int32_t> ParseInteger32(TextView text) {
    const auto value = ParseWithWidth(text, 32);
    if (!value) return std::nullopt;
    return static_cast<int32_t>(*value);
}

// ---- Evaluate Expression ----

Text ToText(ExpressionResult result) {
    switch (result) {
        case ExpressionResult::True: return u"TRUE";
        case ExpressionResult::False: return u"FALSE";
        case ExpressionResult::Error: break;
    }
    return u"ERROR";
}

namespace {

// Sub-expression values: 1 true, 0 false, -1 error.
constexpr int kTrue = 1;
constexpr int kFalse = 0;
constexpr int kError = -1;

// Recursive-descent reader that consumes the text from the front.
class ExpressionReader {
public:
    ExpressionReader(TextView text, bool convert) : text_(text), convert_(convert) {}

    int Expression() {
        int value = Term();
        for (;;) {
            SkipSpaces();
            if (text_.empty() || text_.front() == u')') return value;
            const Text connective = Word();
            const int right = Term();
            if (value == kError || right == kError) {
                value = kError;
            } else if (connective == u"and") {
                value = (value == kTrue && right == kTrue) ? kTrue : kFalse;
            } else if (connective == u"or") {
                value = (value == kTrue || right == kTrue) ? kTrue : kFalse;
            } else {
                value = kError;
            }
        }
    }

    bool AtEnd() const { return text_.empty(); }

private:
    int Term() {
        SkipSpaces();
        if (text_.empty()) return kError;
        if (text_.front() == u'(') {
            text_.remove_prefix(1);
            const int value = Expression();
            SkipSpaces();
            if (text_.empty() || text_.front() != u')') return kError;
            text_.remove_prefix(1);
            return value;
        }
        if (text_.front() == u'"') return Comparison();
        return kError;
    }

    int Comparison() {
        const Text left = QuotedString();
        SkipSpaces();
        const Text comparison_operator = Word();
        SkipSpaces();
        if (text_.empty() || text_.front() != u'"') return kError;
        const Text right = QuotedString();
        SkipSpaces();
        return Compare(left, comparison_operator, right);
    }

    int Compare(const Text& left, const Text& comparison_operator, const Text& right) const {
        int order = 0;
        if (convert_) {
            if (IsIntegerText(left) && IsIntegerText(right)) {
                const int32_t l = ToInteger(left);
                const int32_t r = ToInteger(right);
                order = l < r ? -1 : (l > r ? 1 : 0);
            } else {
                const int c = left.compare(right);
                order = c < 0 ? -1 : (c > 0 ? 1 : 0);
            }
        }
        if (comparison_operator == u"=") return order == 0 ? kTrue : kFalse;
        if (comparison_operator == u"<>") return order != 0 ? kTrue : kFalse;
        if (comparison_operator == u"<") return order < 0 ? kTrue : kFalse;
        if (comparison_operator == u"<=") return order <= 0 ? kTrue : kFalse;
        if (comparison_operator == u">") return order > 0 ? kTrue : kFalse;
        if (comparison_operator == u">=") return order >= 0 ? kTrue : kFalse;
        return kError;
    }

    // At least one character; the first a digit, or a sign followed by at least one
    // further character; every further character a digit.
    static bool IsIntegerText(TextView text) {
        if (text.empty()) return false;
        auto is_digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
        if (text.front() == u'+' || text.front() == u'-') {
            if (text.size() < 2) return false;
        } else if (!is_digit(text.front())) {
            return false;
        }
        for (size_t i = 1; i < text.size(); ++i)
            if (!is_digit(text[i])) return false;
        return true;
    }

    static int32_t ToInteger(TextView text) {
        const auto value = ParseInteger32(text);
        if (!value) throw ConversionError(text);
        return *value;
    }

    // From an opening double quote up to the next single double quote; a doubled
    // double quote stands for one. The closing quote is consumed.
    Text QuotedString() {
        Text value;
        text_.remove_prefix(1);
        while (!text_.empty()) {
            const char16_t c = text_.front();
            text_.remove_prefix(1);
            if (c != u'"') {
                value.push_back(c);
                continue;
            }
            if (!text_.empty() && text_.front() == u'"') {
                value.push_back(u'"');
                text_.remove_prefix(1);
                continue;
            }
            break;
        }
        return value;
    }

    // Every character up to the next double quote or space.
    Text Word() {
        size_t end = 0;
        while (end < text_.size() && text_[end] != u'"' && text_[end] != u' ') ++end;
        Text word(text_.substr(0, end));
        text_.remove_prefix(end);
        return word;
    }

    void SkipSpaces() {
        while (!text_.empty() && text_.front() == u' ') text_.remove_prefix(1);
    }

    TextView text_;
    bool convert_;
};

int ReadWholeExpression(TextView text, bool convert) {
    const Text enclosed = u"(" + Text(text) + u")";
    ExpressionReader reader(enclosed, convert);
    const int value = reader.Expression();
    return reader.AtEnd() ? value : kError;
}

}  // namespace

ExpressionResult EvaluateExpression(TextView text) {
    switch (ReadWholeExpression(text, true)) {
        case kTrue: return ExpressionResult::True;
        case kFalse: return ExpressionResult::False;
        default: return ExpressionResult::Error;
    }
}

bool IsValidExpression(TextView text) {
    return ReadWholeExpression(text, false) != kError;
}

// ---- Mathematics ----

RandomGenerator& EngineRandomGenerator() {
    static RandomGenerator generator;
    return generator;
}

namespace {

int64_t ReadOperand(TextView text) {
    const auto value = ParseInteger64(text);
    if (!value) throw ConversionError(text);
    return *value;
}

int32_t Low32(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

// Wrapping 64-bit arithmetic, done on the unsigned representation.
int64_t Wrap(uint64_t value) {
    return static_cast<int64_t>(value);
}

}  // namespace

Text ComputeMathematics(TextView first_text, TextView second_text, TextView operation_text,
                        RandomGenerator& generator) {
    try {
        const int32_t operation = Low32(ReadOperand(operation_text));
        if (operation == 11) {
            if (first_text.empty()) return Text();
            return FromInt(static_cast<int64_t>(first_text.front()));
        }
        const int64_t a = ReadOperand(first_text);
        const int64_t b = (operation < 10 || operation == 13) ? ReadOperand(second_text) : 0;
        const uint64_t ua = static_cast<uint64_t>(a);
        const uint64_t ub = static_cast<uint64_t>(b);
        constexpr int64_t kMinimum = std::numeric_limits<int64_t>::min();
        switch (operation) {
            case 0: return FromInt(Wrap(ua + ub));
            case 1: return FromInt(Wrap(ua - ub));
            case 2: return FromInt(Wrap(ua * ub));
            case 3:
                if (b == 0) return Text();
                if (a == kMinimum && b == -1) return FromInt(kMinimum);  // wraps
                return FromInt(a / b);
            case 4:
                if (b == 0) return Text();
                if (b == -1) return u"0";
                return FromInt(a % b);
            case 5: return FromInt(Wrap(ua & ub));
            case 6: return FromInt(Wrap(ua | ub));
            case 7: return FromInt(Wrap(ua ^ ub));
            case 8: return FromInt(Wrap(ua << (ub & 63)));
            case 9: return FromInt(Wrap(ua >> (ub & 63)));
            case 10: return FromInt(Wrap(~ua));
            case 12: return Text(1, static_cast<char16_t>(ua & 0xFFFF));
            case 13:
                generator.multiplier = Low32(a);
                generator.increment = Low32(b);
                return FromInt(Wrap(ua + ub));
            case 14:
                generator.value = Low32(a);
                return FromInt(generator.value);
            case 15: {
                const uint32_t product = static_cast<uint32_t>(generator.multiplier) *
                                             static_cast<uint32_t>(generator.value) +
                                         static_cast<uint32_t>(generator.increment);
                const int64_t t = static_cast<int32_t>(product);
                generator.value = static_cast<int32_t>(t % 32767);
                if (a == 0) return Text();
                if (a == -1) return u"0";
                return FromInt(t % a);
            }
            default: return u"0";
        }
    } catch (const ConversionError&) {
        return Text();
    }
}

}  // namespace zev
