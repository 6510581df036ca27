#include "settings/settingsread.h"

namespace dxu {

const ReadQuery kSettingsReadList[50] = {
    {"SV", 2},  {"UA", 31}, {"WP", 32}, {"BR", 33}, {"BR", 34}, {"DD", 11}, {"MM", 3},
    {"MU", 4},  {"EG", 29}, {"SG", 14}, {"LG", 15}, {"CG", 47}, {"OF", 16}, {"PL", 9},
    {"FL", 10}, {"MP", 26}, {"XP", 43}, {"TE", 30}, {"PF", 5},  {"PO", 6},  {"AW", 8},
    {"AB", 48}, {"IL", 52}, {"FA", 44}, {"BH", 12}, {"BS", 13}, {"TP", 17}, {"TT", 18},
    {"TB", 60}, {"LA", 45}, {"FT", 49}, {"MX", 50}, {"CT", 51}, {"OP", 46}, {"CE", 35},
    {"CV", 36}, {"WT", 39}, {"WV", 40}, {"DS", 41}, {"DR", 42}, {"AL", 20}, {"AH", 21},
    {"AF", 22}, {"AT", 23}, {"CL", 24}, {"P4", 25}, {"MO", 19}, {"CO", 27}, {"MA", 28},
    {"DM", 7},
};

void enqueueSettingsRead(CommandQueue& queue)
{
    for (const ReadQuery& q : kSettingsReadList)
        queue.enqueueCommand(KindCode, q.code, q.commandId, 3);
}

} // namespace dxu
