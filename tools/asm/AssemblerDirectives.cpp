// The directives: where bytes go (.org, .align, .fill), data of every width, text, files
// (.include, .incbin) and constants (.equ).
#include "tools/asm/AsciiText.h"
#include "tools/asm/Assembler.h"

#include "tools/asm/Statement.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace {

// Whether a signed or unsigned reading of the value fits in `size` bytes.
bool FitsInBytes(int64_t value, uint32_t size) {
    if (size >= 8)
        return true;
    const int64_t low = -(int64_t{1} << (8 * size - 1));
    const int64_t high = (int64_t{1} << (8 * size)) - 1;
    return value >= low && value <= high;
}

// A decimal rounds to the nearest F32, as a float literal does: a text of the largest single
// in its usual eight digits (3.4028235e38) lies a little above it and still means it. Only
// values that would round to infinity are out of range.
bool RoundToF32(double value, float& single) {
    constexpr double kRoundsToInfinity = 0x1.ffffffp127; // FLT_MAX and half a unit
    const double magnitude = std::fabs(value);
    if (magnitude >= kRoundsToInfinity)
        return false;
    if (magnitude > FLT_MAX)
        single = value > 0 ? FLT_MAX : -FLT_MAX;
    else
        single = static_cast<float>(value);
    return true;
}

} // namespace

void CAssembler::Directive(CStatement& s) {
    const SToken& name = s.Next();
    const std::string directive = AsciiLower(name.text);
    if (directive == ".byte" || directive == ".db")
        DataDirective(s, 1, false, true);
    else if (directive == ".word" || directive == ".dw")
        DataDirective(s, 2, false, false);
    else if (directive == ".dword" || directive == ".dd")
        DataDirective(s, 4, false, false);
    else if (directive == ".qword" || directive == ".dq")
        DataDirective(s, 8, false, false);
    else if (directive == ".f32")
        DataDirective(s, 4, true, false);
    else if (directive == ".f64")
        DataDirective(s, 8, true, false);
    else if (directive == ".ascii")
        TextDirective(s, false);
    else if (directive == ".asciz")
        TextDirective(s, true);
    else if (directive == ".org")
        OrgDirective(s);
    else if (directive == ".align")
        AlignDirective(s);
    else if (directive == ".fill")
        FillDirective(s);
    else if (directive == ".equ")
        EquDirective(s);
    else if (directive == ".include")
        return; // expanded while loading
    else if (directive == ".incbin") {
        const auto& bytes = loader->GetLines()[s.sequence].binary;
        if (CanGrow(bytes.size(), s, name))
            EmitBytes(bytes.data(), bytes.size());
    } else
        s.Error(name, "unknown directive \"" + name.text + "\"");
}

bool CAssembler::EmitValue(CStatement& s, const SValue& value, uint32_t size, bool isFloat,
                           const SToken& at) {
    if (!value.known) {
        EmitInteger(0, size);
        return false;
    }
    if (value.raw) {
        if (value.integer != 0 && !FitsInBytes(value.integer, size)) {
            s.Error(at, "raw bit pattern does not fit in " + std::to_string(size) + " bytes");
            EmitInteger(0, size);
            return false;
        }
        EmitInteger(static_cast<uint64_t>(value.integer), size);
        return true;
    }
    if (isFloat) {
        const double real = value.IsFloat() ? value.real : static_cast<double>(value.integer);
        if (size == 4) {
            float single;
            if (!RoundToF32(real, single)) {
                s.Error(at, "value is out of the range of F32");
                EmitInteger(0, size);
                return false;
            }
            uint32_t bits;
            std::memcpy(&bits, &single, sizeof bits);
            EmitInteger(bits, 4);
        } else {
            uint64_t bits;
            std::memcpy(&bits, &real, sizeof bits);
            EmitInteger(bits, 8);
        }
        return true;
    }
    if (value.IsFloat()) {
        s.Error(at, "a floating-point value where an integer is needed");
        EmitInteger(0, size);
        return false;
    }
    if (!FitsInBytes(value.integer, size)) {
        s.Error(at, "value " + std::to_string(value.integer) + " does not fit in " +
                        std::to_string(size) + (size == 1 ? " byte" : " bytes"));
        EmitInteger(0, size);
        return false;
    }
    EmitInteger(static_cast<uint64_t>(value.integer), size);
    return true;
}

void CAssembler::DataDirective(CStatement& s, uint32_t size, bool isFloat, bool allowStrings) {
    if (s.AtEnd()) {
        s.Error(s.Peek(), "data directive without values");
        return;
    }
    while (true) {
        const SToken& at = s.Peek();
        if (at.kind == ETokenKind::String) {
            s.Next();
            if (!allowStrings) {
                s.Error(at, "strings go into .byte, .ascii or .asciz, not into wider data");
            } else if (CanGrow(at.text.size(), s, at)) {
                EmitBytes(reinterpret_cast<const uint8_t*>(at.text.data()), at.text.size());
            }
        } else {
            SValue value;
            const bool ok = s.Expression(value);
            if (CanGrow(size, s, at))
                EmitValue(s, value, size, isFloat, at);
            if (!ok)
                return;
        }
        if (s.AtEnd())
            return;
        if (!s.Peek().Is(",")) {
            s.ExpectEnd();
            return;
        }
        s.Next();
    }
}

void CAssembler::TextDirective(CStatement& s, bool terminate) {
    if (s.AtEnd()) {
        s.Error(s.Peek(), "text directive without a string");
        return;
    }
    while (true) {
        const SToken& at = s.Next();
        if (at.kind != ETokenKind::String) {
            s.Error(at, "string expected, not " + CStatement::Describe(at));
            return;
        }
        if (CanGrow(at.text.size() + (terminate ? 1 : 0), s, at)) {
            EmitBytes(reinterpret_cast<const uint8_t*>(at.text.data()), at.text.size());
            if (terminate)
                EmitInteger(0, 1);
        }
        if (s.AtEnd())
            return;
        if (!s.Peek().Is(",")) {
            s.ExpectEnd();
            return;
        }
        s.Next();
    }
}

void CAssembler::OrgDirective(CStatement& s) {
    const SToken& at = s.Peek();
    SValue value;
    if (!s.Expression(value) || !s.ExpectEnd() || !value.known)
        return;
    if (value.IsFloat()) {
        s.Error(at, ".org needs an integer address");
        return;
    }
    if (value.integer < static_cast<int64_t>(image.size())) {
        s.Error(at, ".org cannot move back from " + std::to_string(image.size()) + " to " +
                        std::to_string(value.integer));
        return;
    }
    EmitZeros(static_cast<uint64_t>(value.integer) - image.size(), s, at);
}

void CAssembler::AlignDirective(CStatement& s) {
    const SToken& at = s.Peek();
    SValue alignment, fill = SValue::Int(0);
    if (!s.Expression(alignment))
        return;
    if (s.Peek().Is(",")) {
        s.Next();
        if (!s.Expression(fill))
            return;
    }
    if (!s.ExpectEnd() || !alignment.known)
        return;
    if (alignment.IsFloat() || alignment.integer < 1 || alignment.integer > (1 << 24)) {
        s.Error(at, ".align needs an alignment from 1 to 16777216");
        return;
    }
    const uint64_t step = static_cast<uint64_t>(alignment.integer);
    const uint64_t padding = (step - image.size() % step) % step;
    if (padding == 0 || !CanGrow(padding, s, at))
        return;
    // The first padding byte carries the checks of the fill value; the rest repeat it.
    EmitValue(s, fill, 1, false, at);
    image.resize(image.size() + padding - 1, image.back());
}

void CAssembler::FillDirective(CStatement& s) {
    const SToken& at = s.Peek();
    SValue count, value = SValue::Int(0), size = SValue::Int(1);
    if (!s.Expression(count))
        return;
    const SToken* valueAt = &at;
    if (s.Peek().Is(",")) {
        s.Next();
        valueAt = &s.Peek();
        if (!s.Expression(value))
            return;
        if (s.Peek().Is(",")) {
            s.Next();
            if (!s.Expression(size))
                return;
        }
    }
    if (!s.ExpectEnd() || !count.known || !size.known)
        return;
    if (count.IsFloat() || count.integer < 0) {
        s.Error(at, ".fill needs a count of 0 or more");
        return;
    }
    if (size.IsFloat() ||
        (size.integer != 1 && size.integer != 2 && size.integer != 4 && size.integer != 8)) {
        s.Error(at, ".fill takes an element size of 1, 2, 4 or 8");
        return;
    }
    const uint64_t elements = static_cast<uint64_t>(count.integer);
    const uint64_t width = static_cast<uint64_t>(size.integer);
    if (elements > options.maxImageSize / width) {
        CanGrow(options.maxImageSize + 1, s, at);
        return;
    }
    if (!CanGrow(elements * width, s, at))
        return;
    if (elements == 0)
        return;
    // The first element carries the checks; the others repeat its bytes, copied in doubling
    // runs so that a fill of many megabytes costs a few block copies.
    const size_t first = image.size();
    EmitValue(s, value, static_cast<uint32_t>(width), false, *valueAt);
    const size_t total = static_cast<size_t>(elements * width);
    image.resize(first + total);
    uint8_t* const fill = image.data() + first;
    for (size_t done = width; done < total;) {
        const size_t run = std::min(done, total - done);
        std::memcpy(fill + done, fill, run);
        done += run;
    }
}

void CAssembler::EquDirective(CStatement& s) {
    const SToken& name = s.Next();
    if (name.kind != ETokenKind::Identifier) {
        s.Error(name, ".equ needs a name, then a comma and a value");
        return;
    }
    if (!s.Peek().Is(",")) {
        s.Error(s.Peek(), "\",\" expected after the name");
        return;
    }
    DefineConstant(s, name, s.index + 1);
}
