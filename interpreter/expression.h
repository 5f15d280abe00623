// The boolean expressions of "Evaluate Expression", the 64-bit integer operations of
// "Mathematics" with their random generator, and the integer reading both share with
// the conditions of the control statements.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>

#include "script/text.h"

namespace zev {

// A text that was required to be an integer and is not (or does not fit). The
// interpreter reports it as a runtime error of the current statement.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(TextView text);
};

// Integer texts as the engine reads numbers: optional leading spaces, an optional "+"
// or "-", then decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or
// "0X". Decimal values must fit the signed range of the width; hexadecimal values may
// use the full unsigned range and are taken as two's complement. Nothing may follow.
std::optional<int64_t> ParseInteger64(TextView text);
std::optional<int32_t> ParseInteger32(TextView text);

// ---- Evaluate Expression ----

enum class ExpressionResult { False, True, Error };
Text ToText(ExpressionResult result);  // "FALSE", "TRUE", "ERROR"

// Evaluates an expression text after quoting substitution: comparisons of quoted
// strings with "=", "<>", "<", "<=", ">", ">=", joined left to right by "and" and
// "or", grouped by parentheses. Operands that are both integer texts are compared as
// signed 32-bit numbers; an integer text beyond that range throws ConversionError.
ExpressionResult EvaluateExpression(TextView text);

// True when the text reads as an expression: the same grammar, without converting
// any operand, so a well-formed expression is accepted whatever its values.
bool IsValidExpression(TextView text);

// ---- Mathematics ----

// The linear congruential generator of operations 13 to 15: multiplier, increment and
// current value, 32-bit, all 0 until seeded.
struct RandomGenerator {
    int32_t multiplier = 0;
    int32_t increment = 0;
    int32_t value = 0;
};

// The process-wide generator; it lives for the whole run and is never reset.
RandomGenerator& EngineRandomGenerator();

// One "Mathematics" operation. first_text is parameter 1 after expansion (operation
// 11 reads its first character); a and b are read from first_text and second_text
// only where the operation uses them. Returns the text to store: a decimal number, the
// one character of operation 12, or the empty text after a conversion error or a
// division by zero. Operation numbers outside 0 to 15 give "0".
Text ComputeMathematics(TextView first_text, TextView second_text, TextView operation_text,
                        RandomGenerator& generator);

}  // namespace zev
