#include "require.h"

bool PrintRequirements(Printer* p, const wchar_t* file, const ImageView* view,
                       const bool required[MITIGATION_COUNT])
{
    Mitigation verdicts[MITIGATION_COUNT];
    AssessHardening(view, verdicts);
    bool json = p->form == &JSON_FORM;
    bool allMet = true;
    Report r;
    StartReport(&r, &p->json, p->out);
    if (json) {
        p->form->beginFile(p, file);
        Key(&p->json, "requirements");
        ReportObject(&r, NULL);
    }
    for (int m = 0; m < MITIGATION_COUNT; ++m) {
        if (!required[m])
            continue;
        const Mitigation* v = &verdicts[m];
        bool met = v->verdict != VERDICT_NO;
        allMet = allMet && met;
        if (json) {
            ReportRow(&r, MITIGATION_WORDS[m]);
            ReportBool(&r, "met", met);
            ReportWord(&r, "verdict", VERDICT_WORDS[v->verdict]);
            ReportAscii(&r, "reason", v->reason);
            ReportEnd(&r);
        } else if (!met) {
            PutCell(p->out, file);
            PutChar(p->out, '\t');
            PutText(p->out, MITIGATION_WORDS[m]);
            PutText(p->out, "\tno\t");
            PutText(p->out, v->reason);
            PutChar(p->out, '\n');
        }
    }
    if (json) {
        ReportEnd(&r);
        Key(&p->json, "meets");
        BoolValue(&p->json, allMet);
        p->form->endFile(p);
    }
    return allMet;
}
