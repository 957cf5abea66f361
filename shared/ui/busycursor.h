#pragma once

namespace orm {

// A nesting count for the application's busy cursor. Pair every BeginBusy
// with an EndBusy, or use BusyScope.
void BeginBusy();
void EndBusy();
int BusyDepth();

class BusyScope {
public:
    BusyScope() { BeginBusy(); }
    ~BusyScope() { EndBusy(); }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;
};

} // namespace orm
