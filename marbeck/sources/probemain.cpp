// ormolux-probe: Marbeck's source list sends it paths and it answers what the
// media library says of each (probeworker.h has the exchange). A file that
// crashes the library ends only this process.
#include "probeworker.h"
#include "tfileitem.h"

int main()
{
    return marbeck::RunProbeWorker(0, 1,
                                   [](const QString &path) { return marbeck::ProbeFile(path); });
}
