// The text form: "== FILE", then per view "-- VIEW" and a line per row: the
// row's marker (1 on a group-header row, 0 otherwise) and its cells, all
// separated by tabs. With --resolve a library's header row ends in one more
// cell: the path a double-click would open, or "not found".
#include "report.h"
#include "output.h"

void WriteTextReport(const FileReport& report, const bool* shown, bool resolve)
{
    if (report.result != OPEN_SHOWN)
        return;   // said on standard error
    std::string out = "== ";
    AppendCell(&out, report.file);
    out += '\n';
    for (int v = 0; v < VIEW_COUNT; ++v) {
        if (!shown[v])
            continue;
        out += "-- ";
        out += VIEWS[v].option;
        out += '\n';
        for (const Row& row : report.views[v]) {
            out += row.header ? '1' : '0';
            for (const std::wstring& cell : row.cells) {
                out += '\t';
                AppendCell(&out, cell);
            }
            if (resolve && row.resolved) {
                out += '\t';
                AppendCell(&out, row.path.empty() ? std::wstring(L"not found") : row.path);
            }
            out += '\n';
        }
        Flush(&out);
    }
}
