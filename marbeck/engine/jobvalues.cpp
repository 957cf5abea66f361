#include "jobvalues.h"

#include "shared/utilfuncs.h"

namespace marbeck {

orm::PlaceholderValues JobPlaceholders(const QString &programFolder, const QString &outputFolder,
                                       const QString &source)
{
    orm::PlaceholderValues v;
    v.AppPath = orm::ExcludeBackslash(programFolder);
    v.OutputPath = orm::IncludeBackslash(outputFolder);
    v.OutputFile = v.OutputPath + orm::ExtractFileName(source);
    v.TemporaryFile = v.OutputPath + orm::RandomDigits(5);
    v.RandomNumber3 = orm::RandomDigits(3);
    v.RandomNumber5 = orm::RandomDigits(5);
    v.InputFile = source;
    return v;
}

quint8 MapPriority(quint8 priorityIndex)
{
    switch (priorityIndex) {
    case 0: return 1;
    case 1: return 2;
    case 2: return 3;
    case 3: return 4;
    default: return 1;
    }
}

} // namespace marbeck
