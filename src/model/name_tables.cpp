#include "model/name_tables.h"

// The row order is the order of the log lines; the letter case is repeated in the log as it
// stands here.
void MF_FillIniList(SharedState& state) {
    state.IniList = {"TorpMain.ini", "Qult30.ini",   "Vesk30.ini",   "VeskImEx.ini", "VeskLgnd.ini",
                     "VeskMain.ini", "VeskDrov.ini", "VeskTree.ini", "VeskSubF.ini", "Pomb30.ini",
                     "i_skep32.ini", "ItemSkep.ini", "Grist30.ini",  "Darl30.ini",   "Melp30.ini",
                     "Nurl40.ini",   "ZSkepMap.ini", "VeskFont.ini", "PlaskMap.ini"};
}

void MF_FillKeyList(SharedState& state) {
    state.KeyList = {"VeskTorp", "VeskQult", "VeskPomb", "VeskHobb", "VeskImex", "VeskMain",
                     "VeskGris", "VeskDarl", "VeskMelp", "VeskWend", "VESK"};
}
