#pragma once

// harvex-cli's exit codes; scripts and timers test them, so they never change.
namespace ExitCode {
enum : int { Ok = 0, Failed = 1, Unreachable = 2, Incomplete = 3, Interrupted = 130 };
}
