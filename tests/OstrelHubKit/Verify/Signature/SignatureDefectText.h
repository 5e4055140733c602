#pragma once

#include "Verify/Signature/SignatureDefect.h"

#include <string>

namespace ostrel::test {

// The detail of the SignatureDefect a step throws, or "no defect".
template <typename F>
std::string defectOf(F&& step) {
    try {
        step();
    } catch (const SignatureDefect& e) {
        return e.detail();
    }
    return "no defect";
}

} // namespace ostrel::test
