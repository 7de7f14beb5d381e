#pragma once

// Ending the program at once: no further handler runs and nothing is saved.
class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    virtual void endNow() = 0;
};
