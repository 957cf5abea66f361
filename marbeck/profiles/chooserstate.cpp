#include "profiles/chooserstate.h"

#include "lang/marbeckmessages.h"
#include "platform/platform.h"
#include "shared/interaction.h"
#include "shared/utilfuncs.h"

#include <QFileInfo>

namespace marbeck {

QString ChooserPath(const ChooserSettings &s, const QString &relative)
{
    return orm::IncludeBackslash(s.AppFolder) +
           QString::fromStdString(orm::platform::toPlatformSeparators(relative.toStdString()));
}

ChooserState::ChooserState(ChooserSettings settings) : m_globals(std::move(settings))
{
    m_globals.ProfileFolderName =
        ProfileFolderForLanguage(m_globals.LanguageFile, m_globals.ProfileFolderName);
}

bool ChooserState::prepare()
{
    m_doNotDisplay = !m_globals.ShowWindow;
    auto catalogue = ProfileCatalogue::ListProfiles(
        ChooserPath(m_globals, m_globals.ProfileFolderName), m_globals.UserProfileFolder);
    if (!catalogue) {
        orm::ShowMessageBox(msg(Msg::MSG_PROFILE_FOLDER_ERROR), msg(Msg::MSG_INFORMATION),
                            orm::mb::kIconQuestion | orm::mb::kOk);
        return false;
    }
    m_catalogue = std::move(*catalogue);
    select(FormatPSP, m_globals.FormatPSPIndex);
    select(FormatiPod, m_globals.FormatiPodIndex);
    select(Format3GP, m_globals.Format3GPIndex);
    select(FormatOther, m_globals.FormatOtherIndex);
    // The profile in use is selected in its family also where the stored row
    // has come to name another file, as when profiles were added since.
    if (!m_globals.ProfilePath.isEmpty()) {
        const QFileInfo inUse(m_globals.ProfilePath);
        for (FormatType family : {FormatPSP, FormatiPod, Format3GP, FormatOther}) {
            const QList<TProfileItem> &rows = list(family);
            for (int row = 0; row < rows.size(); ++row) {
                if (QFileInfo(rows.at(row).FileName) == inUse)
                    select(family, row);
            }
        }
    }
    m_active = openingFamily(m_globals.FormatType, m_globals.Family);
    return true;
}

void ChooserState::select(FormatType family, int row)
{
    m_selected[family] = (row >= 0 && row < list(family).size()) ? row : -1;
}

QString ChooserState::description(FormatType family) const
{
    const int row = m_selected[family];
    return row < 0 ? QString() : list(family).at(row).Description;
}

bool ChooserState::canApply() const
{
    return m_active && m_selected[*m_active] >= 0;
}

bool ChooserState::apply()
{
    if (!canApply())
        return false;
    m_globals.ShowWindow = !m_doNotDisplay;
    m_globals.FormatType = *m_active;
    m_globals.ProfilePath = list(*m_active).at(m_selected[*m_active]).FileName;
    m_globals.FormatPSPIndex = m_selected[FormatPSP];
    m_globals.FormatiPodIndex = m_selected[FormatiPod];
    m_globals.Format3GPIndex = m_selected[Format3GP];
    m_globals.FormatOtherIndex = m_selected[FormatOther];
    return true;
}

ChooserExit ChooserState::cancel(bool allowCancel)
{
    if (allowCancel)
        return ChooserExit::Close;
    const int answer = orm::ShowMessageBox(msg(Msg::MSG_SURE_TO_EXIT), msg(Msg::MSG_EXIT),
                                           orm::mb::kIconQuestion | orm::mb::kYesNo);
    return answer == orm::IdYes ? ChooserExit::EndProgram : ChooserExit::Stay;
}

QList<FormatType> ChooserState::familyButtons(DeviceFamily family)
{
    switch (family) {
    case DeviceFamily::Phones: return {Format3GP, FormatOther};
    case DeviceFamily::IPod: return {FormatiPod, FormatOther};
    case DeviceFamily::PSP: return {FormatPSP, FormatOther};
    case DeviceFamily::All: break;
    }
    return {FormatPSP, FormatiPod, Format3GP, FormatOther};
}

std::optional<FormatType> ChooserState::openingFamily(quint8 storedFormatType, DeviceFamily family)
{
    const QList<FormatType> offered = familyButtons(family);
    if (storedFormatType < kFamilyCount &&
        offered.contains(static_cast<FormatType>(storedFormatType)))
        return static_cast<FormatType>(storedFormatType);
    if (family == DeviceFamily::All)
        return std::nullopt;
    return offered.first();
}

namespace {

qint32 &rememberedRow(ChooserSettings &g, FormatType family)
{
    switch (family) {
    case FormatPSP: return g.FormatPSPIndex;
    case FormatiPod: return g.FormatiPodIndex;
    case Format3GP: return g.Format3GPIndex;
    case FormatOther: break;
    }
    return g.FormatOtherIndex;
}

} // namespace

bool TakeStartedFamilyProfile(ChooserSettings &g)
{
    const auto family = ChooserState::openingFamily(g.FormatType, g.Family);
    if (!family || *family == g.FormatType)
        return true;
    g.ProfileFolderName = ProfileFolderForLanguage(g.LanguageFile, g.ProfileFolderName);
    const auto catalogue =
        ProfileCatalogue::ListProfiles(ChooserPath(g, g.ProfileFolderName), g.UserProfileFolder);
    if (!catalogue || catalogue->family(*family).isEmpty())
        return false;
    const QList<TProfileItem> &list = catalogue->family(*family);
    qint32 &row = rememberedRow(g, *family);
    if (row < 0 || row >= list.size())
        row = 0;
    g.FormatType = *family;
    g.ProfilePath = list.at(row).FileName;
    return true;
}

} // namespace marbeck
