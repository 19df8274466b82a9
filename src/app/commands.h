// Window command ids: menu items, keys and the commands the viewer posts to itself. Kept in
// app/ because the installer posts one of them (Close) to a running viewer.
#pragma once

namespace app::cmd {

enum : int {
    Open = 32771,
    Copy = 32772,
    Delete = 32773,
    MoveAs = 32774,
    Print = 32775,
    Exit = 32776,
    PreviousPage = 32777,
    PageSelector = 32778,
    NextPage = 32779,
    BreakUp = 32780,
    ZoomEdit = 32781,
    BuildFax = 32782,
    BuildLongFax = 32783,
    BuildTifPdf = 32784,
    ZoomDefault = 32785,  // then 25%, 37, 40% ... 100% up to 32797
    Zoom25 = 32786,
    Zoom37 = 32787,
    Zoom40 = 32788,
    Zoom42 = 32789,
    Zoom44 = 32790,
    Zoom46 = 32791,
    Zoom50 = 32792,
    Zoom60 = 32793,
    Zoom75 = 32794,
    Zoom80 = 32795,
    Zoom90 = 32796,
    Zoom100 = 32797,
    AccumulatorSave = 32798,
    AccumulatorConvert = 32799,
    AccumulatorClear = 32800,
    RunLoop = 32801,
    OpenCurrentFax = 32802,
    RefreshAccumulator = 32803,
    ShowPage = 32804,
    PreviousFaxFile = 32805,
    NextFaxFile = 32806,
    AnotherViewer = 32807,
    Configure = 32808,
    Help = 32809,
    ReadMe = 32810,
    Manual = 32811,
    WebSite = 32812,
    Email = 32813,
    Phone = 32814,
    About = 32815,
    // Beyond the menu of old: finding text in the fax.
    Find = 32816,          // Edit > Find (Ctrl+F)
    FindNext = 32817,      // F3
    FindPrevious = 32818,  // Shift+F3
    Close = 65000,
};

}  // namespace app::cmd
