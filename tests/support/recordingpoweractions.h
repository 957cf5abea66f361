#pragma once
// A stand-in for the system's power requests: it records what was asked and
// never reaches the system. Installed for the lifetime of a scope.
#include "shell/poweractions.h"

#include <QList>

namespace ormtest {

class RecordingPowerActions final : public marbeck::PowerActions {
public:
    explicit RecordingPowerActions(QList<marbeck::PowerAction> &requests) : m_requests(requests) {}
    bool Request(marbeck::PowerAction action) override
    {
        m_requests.append(action);
        return true;
    }

private:
    QList<marbeck::PowerAction> &m_requests;
};

class RecordingPowerScope {
public:
    RecordingPowerScope()
        : m_previous(marbeck::setPowerActions(std::make_unique<RecordingPowerActions>(requests)))
    {
    }
    ~RecordingPowerScope() { marbeck::setPowerActions(std::move(m_previous)); }
    QList<marbeck::PowerAction> requests;

private:
    std::unique_ptr<marbeck::PowerActions> m_previous;
};

} // namespace ormtest
