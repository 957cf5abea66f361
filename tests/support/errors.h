#pragma once
// The message of the error a call throws, or empty when it does not throw.
#include "shared/error.h"

#include <QString>

namespace ormtest {

template <class F> QString errorOf(F &&call)
{
    try {
        call();
    } catch (const orm::Error &e) {
        return e.text();
    }
    return {};
}

} // namespace ormtest
