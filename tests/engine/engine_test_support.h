#pragma once

#include "engine/errors.h"

#include <exception>
#include <string>

// What run throws: an engine failure's headline and details, any other failure's
// message; "" when it does not throw.
template <typename Run>
std::string FailureText(Run run) {
    try {
        run();
    } catch (const VEKException& failure) {
        return failure.what() + (" " + failure.GetDetails());
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return "";
}
