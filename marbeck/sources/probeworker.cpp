#include "probeworker.h"

#include "platform/pipewait.h"
#include "platform/platform.h"
#include "shared/error.h"
#include "shared/utilfuncs.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <array>
#include <mutex>

namespace marbeck {

namespace {

// The library's fields of a record, in the order the helper sends them.
constexpr std::array<QString TFileItem::*, 18> kProbedFields = {
    &TFileItem::CompleteName, &TFileItem::FileSize,     &TFileItem::FileSizeText,
    &TFileItem::Format,       &TFileItem::PlayTime,     &TFileItem::AudioCount,
    &TFileItem::VideoCount,   &TFileItem::VideoCodec,   &TFileItem::Width,
    &TFileItem::Height,       &TFileItem::VideoBitRate, &TFileItem::AspectRatio,
    &TFileItem::FrameRate,    &TFileItem::AudioCodec,   &TFileItem::AudioBitRate,
    &TFileItem::Channels,     &TFileItem::SamplingRate, &TFileItem::Duration,
};

constexpr char kFields = 'F';
constexpr char kRefused = 'E';

// A zero byte ends each text of the exchange, so none may hold one.
QByteArray wireText(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('\0', ' ');
    return bytes;
}

struct ProgramChoice {
    std::mutex mutex;
    bool chosen = false;
    QString path;
};

ProgramChoice &programChoice()
{
    static ProgramChoice choice;
    return choice;
}

QString findProbeProgram()
{
    constexpr const char *kName = "ormolux-probe";
    const QString beside =
        QString::fromStdString(orm::platform::programFolder()) + u'/' + QLatin1StringView(kName);
    if (QFileInfo(beside).isExecutable())
        return beside;
#if defined(ORM_BUILD_TREE) && defined(ORM_PROBE_BUILD_PATH)
    if (orm::platform::programPath().starts_with(ORM_BUILD_TREE "/") &&
        QFileInfo(QStringLiteral(ORM_PROBE_BUILD_PATH)).isExecutable())
        return QStringLiteral(ORM_PROBE_BUILD_PATH);
#endif
    return {};
}

} // namespace

int RunProbeWorker(int inFd, int outFd, const ProbeFunction &probe)
{
    QByteArray pending;
    char buffer[4096];
    for (;;) {
        const qsizetype end = pending.indexOf('\0');
        if (end < 0) {
            const auto r = orm::platform::readAvailable(inFd, buffer, sizeof buffer);
            if (r.status == orm::platform::ReadStatus::Data) {
                pending.append(buffer, qsizetype(r.count));
                continue;
            }
            if (r.status == orm::platform::ReadStatus::Empty) {
                orm::platform::WaitItem item[1] = {{inFd}};
                int error = 0;
                orm::platform::waitReadable(item, -1, error);
                continue;
            }
            return 0; // the program has closed its end, or gone
        }
        const QString path = QString::fromUtf8(pending.left(end));
        pending.remove(0, end + 1);
        QByteArray answer;
        try {
            const TFileItem item = probe(path);
            answer += kFields;
            for (const auto field : kProbedFields)
                answer += wireText(item.*field) + '\0';
        } catch (const std::exception &e) {
            answer = kRefused + wireText(QString::fromUtf8(e.what())) + '\0';
        }
        int error = 0;
        if (!orm::platform::writeAll(outFd, answer.constData(), size_t(answer.size()), error))
            return 1;
    }
}

QString ProbeProgramPath()
{
    ProgramChoice &choice = programChoice();
    const std::lock_guard lock(choice.mutex);
    if (!choice.chosen) {
        choice.path = findProbeProgram();
        choice.chosen = true;
    }
    return choice.path;
}

void SetProbeProgramPath(const QString &path)
{
    ProgramChoice &choice = programChoice();
    const std::lock_guard lock(choice.mutex);
    choice.path = path;
    choice.chosen = !path.isEmpty();
}

TFileItem BlankItem(const QString &path)
{
    TFileItem item;
    item.FileName = orm::ExtractFileName(path);
    item.Directory = orm::ExtractFilePath(path);
    item.CompleteName = path;
    item.FileSize = QString::number(QFileInfo(path).size());
    return item;
}

std::unique_ptr<ProbeWorker> ProbeWorker::start(const QString &program, QString &error)
{
    int code = 0;
    auto channel = orm::platform::Channel::create(code);
    if (!channel) {
        error = QStringLiteral("no channel to the probe program (error %1)").arg(code);
        return nullptr;
    }
    orm::platform::StartRequest request;
    request.applicationName = program.toStdString();
    request.commandLine = "ormolux-probe";
    std::unique_ptr<ProbeWorker> worker(new ProbeWorker);
    worker->m_child = orm::platform::ChildProcess::start(request, channel->theirs.get(),
                                                         channel->theirs.get(), 2, code);
    if (!worker->m_child.running()) {
        error = QStringLiteral("%1 cannot run (error %2)").arg(program).arg(code);
        return nullptr;
    }
    worker->m_channel = std::move(channel->ours);
    return worker;
}

ProbeWorker::Answer ProbeWorker::end(Outcome outcome, const QString &reason)
{
    m_child.killGroup();
    const int status = m_child.wait();
    {
        const std::lock_guard lock(m_channelMutex);
        m_channel.reset();
    }
    m_pending.clear();
    Answer answer;
    answer.outcome = outcome;
    if (!m_sent.isEmpty())
        answer.path = m_sent.takeFirst();
    m_sent.clear();
    answer.reason = outcome == Outcome::Crashed
                        ? QStringLiteral("%1 (exit status %2)").arg(reason).arg(status)
                        : reason;
    return answer;
}

void ProbeWorker::interrupt()
{
    const std::lock_guard lock(m_channelMutex);
    m_interrupted = true;
    if (m_channel.valid())
        orm::platform::shutdownChannel(m_channel.get());
}

bool ProbeWorker::send(const QString &path)
{
    if (!usable())
        return false;
    const QByteArray request = wireText(path) + '\0';
    int error = 0;
    if (!orm::platform::writeAll(m_channel.get(), request.constData(), size_t(request.size()),
                                 error))
        return false;
    m_sent << path;
    return true;
}

qsizetype ProbeWorker::answerEnd() const
{
    if (m_pending.isEmpty())
        return 0;
    // The kind, then its zero-ended texts.
    qsizetype texts = m_pending.front() == kFields ? qsizetype(kProbedFields.size()) : 1;
    for (qsizetype i = 1; i < m_pending.size(); ++i) {
        if (m_pending.at(i) == '\0' && --texts == 0)
            return i + 1;
    }
    return 0;
}

ProbeWorker::Answer ProbeWorker::probe(const QString &path, int timeLimitMs)
{
    if (!send(path))
        return end(Outcome::Crashed, QStringLiteral("the probe program has gone"));
    return receive(timeLimitMs);
}

ProbeWorker::Answer ProbeWorker::receive(int timeLimitMs)
{
    if (m_sent.isEmpty() || !usable())
        return end(Outcome::Crashed, QStringLiteral("the probe program is not running"));
    QElapsedTimer clock;
    clock.start();
    char buffer[8192];
    qsizetype length = 0;
    while ((length = answerEnd()) == 0) {
        const qint64 left = timeLimitMs - clock.elapsed();
        if (left <= 0)
            return end(Outcome::TimedOut,
                       QStringLiteral("no answer within %1 ms").arg(timeLimitMs));
        int error = 0;
        orm::platform::WaitItem item[1] = {{m_channel.get()}};
        if (!orm::platform::waitReadable(item, int(left), error))
            return end(Outcome::Crashed, QStringLiteral("waiting failed (error %1)").arg(error));
        if (!item[0].ready)
            continue;
        const auto r = orm::platform::readAvailable(m_channel.get(), buffer, sizeof buffer);
        if (r.status == orm::platform::ReadStatus::Data)
            m_pending.append(buffer, qsizetype(r.count));
        else if (r.status != orm::platform::ReadStatus::Empty)
            return end(Outcome::Crashed, QStringLiteral("the probe program ended"));
    }

    Answer answer;
    answer.path = m_sent.takeFirst();
    const QList<QByteArray> texts = m_pending.mid(1, length - 2).split('\0');
    if (m_pending.front() == kFields) {
        answer.outcome = Outcome::Probed;
        answer.item.FileName = orm::ExtractFileName(answer.path);
        answer.item.Directory = orm::ExtractFilePath(answer.path);
        for (std::size_t i = 0; i < kProbedFields.size(); ++i)
            answer.item.*kProbedFields[i] = QString::fromUtf8(texts.at(qsizetype(i)));
    } else {
        answer.outcome = Outcome::Refused;
        answer.reason = QString::fromUtf8(texts.at(0));
    }
    m_pending.remove(0, length);
    return answer;
}

} // namespace marbeck
