#include "keptlist.h"

#include "engine/batchqueue.h"
#include "lang/marbeckmessages.h"
#include "shared/interaction.h"
#include "shared/resstr.h"

#include <QDir>
#include <QtDebug>

namespace marbeck {

namespace {

ListRowState savedStateOf(RowState state)
{
    switch (state) {
    case RowState::Running: return ListRowState::Running;
    case RowState::Failed: return ListRowState::Failed;
    case RowState::Stopped: return ListRowState::Stopped;
    case RowState::Waiting:
    case RowState::Converted: break; // a converted row leaves the list
    }
    return ListRowState::Waiting;
}

} // namespace

KeptList::KeptList(SourceListModel &model, const BatchQueue &queue, const QString &path,
                   QObject *parent)
    : QObject(parent), m_lock(path + QStringLiteral(".lock")), m_store(model, path)
{
    m_store.setSaving(false); // until the lock is ours
    const auto follow = [this, &queue](int, int row) {
        const BatchRow &r = queue.rows().at(row);
        m_store.setRowState(r.item.source, savedStateOf(r.state));
    };
    connect(&queue, &BatchQueue::jobStarted, this, follow);
    connect(&queue, &BatchQueue::jobEnded, this, follow);
    connect(&m_store, &ListStore::saveFailed, this, [](const QString &file) {
        qWarning().noquote() << "Ormolux: the source list cannot be saved to"
                             << QDir::toNativeSeparators(file);
    });
}

QString KeptList::open()
{
    if (!m_lock.acquire())
        return orm::FormatMessage(msg(Msg::MSG_LIST_IN_USE), {QString::number(m_lock.holder())});
    m_store.setSaving(true);
    const ListStore::Restored restored = m_store.restore();
    for (const QString &source : restored.dropped)
        qInfo().noquote() << "Ormolux: dropped from the saved list, no longer there:"
                          << QDir::toNativeSeparators(source);
    if (!restored.damage.isEmpty()) {
        qWarning().noquote() << "Ormolux: the saved list"
                             << QDir::toNativeSeparators(m_store.path())
                             << "is damaged:" << restored.damage;
        // A file that could not be moved aside is not written over either.
        if (restored.setAsideAs.isEmpty())
            m_store.setSaving(false);
        const QString kept = restored.setAsideAs.isEmpty() ? m_store.path() : restored.setAsideAs;
        orm::ShowMessageBox(
            orm::FormatMessage(msg(Msg::MSG_LIST_DAMAGED), {QDir::toNativeSeparators(kept)}),
            msg(Msg::MSG_ERROR), orm::mb::kIconExclamation);
    }
    return {};
}

void KeptList::close(bool keep)
{
    if (!m_lock.held())
        return;
    if (keep) {
        m_store.flush();
        m_store.setSaving(false); // nothing after this is this run's list
    } else
        m_store.removeFile();
    m_lock.release();
}

} // namespace marbeck
