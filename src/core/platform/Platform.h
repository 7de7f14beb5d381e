#pragma once

class FileDialogs;
class MessageBoxes;
class ProgramEnd;
class SettingsStore;
class Shell;

// The platform calls a test cannot make for real, each behind its seam.
struct Platform {
    MessageBoxes& messages;
    ProgramEnd& programEnd;
    SettingsStore& settings;
    Shell& shell;
    FileDialogs& files;
};
