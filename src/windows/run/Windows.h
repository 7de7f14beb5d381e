#pragma once

class AppContext;

// Opening and closing the program's windows, shared by the windows that do it.
void openEditor(AppContext& ctx);
void openHelpWindow(AppContext& ctx);
void openAboutWindow(AppContext& ctx);
void openBrowserWindow(AppContext& ctx);

// The main window's unload: closes the help, About, editor and splash windows without saving.
void closeOtherWindows(AppContext& ctx);
bool browserOpenAndVisible(const AppContext& ctx);

// Ends the run: stops the skin service, unloads the browser, ends the program.
void endRun(AppContext& ctx);
