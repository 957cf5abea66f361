#include "convertsummary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace marbeck {

namespace {

QString resultName(SourceResult result)
{
    switch (result) {
    case SourceResult::Converted: return QStringLiteral("converted");
    case SourceResult::Failed: return QStringLiteral("failed");
    case SourceResult::Stopped: return QStringLiteral("stopped");
    }
    return {};
}

} // namespace

SourceOutcome OutcomeOf(const BatchRow &row, const QString &startError)
{
    SourceOutcome outcome;
    outcome.source = row.item.source;
    switch (row.state) {
    case RowState::Converted:
        outcome.result = SourceResult::Converted;
        outcome.outputs = row.outputs;
        break;
    case RowState::Failed:
        outcome.result = SourceResult::Failed;
        outcome.reason = row.failure;
        break;
    case RowState::Waiting:
        if (!startError.isEmpty()) {
            outcome.result = SourceResult::Failed;
            outcome.reason = startError;
        }
        break;
    case RowState::Running:
    case RowState::Stopped: break;
    }
    if (row.state != RowState::Waiting && row.endedMs >= row.startedMs)
        outcome.seconds = double(row.endedMs - row.startedMs) / 1000.0;
    return outcome;
}

QByteArray SummaryJson(const SummaryHeader &header, const QList<SourceOutcome> &outcomes)
{
    QJsonArray sources;
    int counts[3] = {0, 0, 0};
    for (const SourceOutcome &o : outcomes) {
        ++counts[int(o.result)];
        sources.append(QJsonObject{
            {QStringLiteral("source"), o.source},
            {QStringLiteral("outputs"), QJsonArray::fromStringList(o.outputs)},
            {QStringLiteral("result"), resultName(o.result)},
            {QStringLiteral("reason"), o.reason},
            // Milliseconds are all the batch's clock knows.
            {QStringLiteral("seconds"), std::round(o.seconds * 1000.0) / 1000.0},
        });
    }
    const QJsonObject summary{
        {QStringLiteral("profile"), header.profile},
        {QStringLiteral("preset"), header.preset},
        {QStringLiteral("output"), header.outputFolder},
        {QStringLiteral("exitStatus"), header.exitStatus},
        {QStringLiteral("converted"), counts[int(SourceResult::Converted)]},
        {QStringLiteral("failed"), counts[int(SourceResult::Failed)]},
        {QStringLiteral("stopped"), counts[int(SourceResult::Stopped)]},
        {QStringLiteral("sources"), sources},
    };
    return QJsonDocument(summary).toJson(QJsonDocument::Indented);
}

int ExitStatusFor(const QList<SourceOutcome> &outcomes, int stopSignal)
{
    if (stopSignal > 0)
        return 128 + stopSignal;
    const bool allConverted = std::all_of(outcomes.begin(), outcomes.end(), [](const auto &o) {
        return o.result == SourceResult::Converted;
    });
    return allConverted ? 0 : 1;
}

} // namespace marbeck
