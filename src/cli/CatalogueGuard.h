#pragma once
#include "ConsoleLine.h"
#include "ExitCode.h"
#include "core/catalogue/CatalogueError.h"

// A command's body that may meet a catalogue error: the error is said on
// standard error and the run fails, as every catalogue command does.
class CatalogueGuard
{
public:
    template<typename Body>
    static int run(Body &&body)
    {
        try {
            body();
        } catch (const CatalogueError &e) {
            ConsoleLine::err(e.message());
            return ExitCode::Failed;
        }
        return ExitCode::Ok;
    }
};
