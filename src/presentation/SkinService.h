#pragma once

class AppContext;

// Application-wide skinning of what the windows do not skin themselves: message boxes, menus
// and tooltips. Attached and started at the splash window's load, stopped as the program ends.
bool AttachSkin(AppContext& ctx);
bool StartService(AppContext& ctx);
void StopService(AppContext& ctx);
