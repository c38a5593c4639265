// How ombrel ends, and the one way a refusal or a failure travels: every
// part of the front end throws a Failure, and runOmbrel catches it in one
// place, prints it as "ombrel: SUBJECT: what is wrong" and exits with its
// code. Warnings and notes that do not end the run go through the same
// reporter.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace frontend {

enum class ExitCode : int {
    Success = 0,
    SystemFailure = 1,  // no run folder, no viewer, a picture that can't be drawn or written
    BadInput = 2,       // a missing or broken file, a malformed option or setting
};

class Failure : public std::runtime_error {
public:
    // what() is "SUBJECT: REASON", or REASON alone for an empty subject.
    Failure(ExitCode code, const std::string& subject, const std::string& reason);

    ExitCode code() const { return code_; }
    const std::string& subject() const { return subject_; }
    const std::string& reason() const { return reason_; }

    // For a refused option value: the option's long name without "--" and
    // the value as typed, so a value from the settings file can be blamed
    // on its line there.
    std::string option, value;

    // Printed as it stands, without "ombrel: " (the usage lines).
    bool bare() const { return bare_; }

    // The signal that interrupted the run (0 for none): nothing is printed,
    // and ombrel ends by that signal once everything is cleaned up.
    int signal = 0;

private:
    friend Failure usageFailure(const std::string& text);
    bool bare_ = false;
    ExitCode code_;
    std::string subject_, reason_;
};

// Bad input: exit 2.
Failure badInput(const std::string& subject, const std::string& reason);
// A refused option value ("--fps 0: ..."): exit 2.
Failure badOptionValue(const std::string& longName, const std::string& value, const std::string& reason);
// The usage lines, for a command line that says nothing to do: exit 2.
Failure usageFailure(const std::string& text);
// The run was interrupted by this signal.
Failure interrupted(int signal);
// A failure of the system (nothing wrong with the input): exit 1.
Failure systemFailure(const std::string& subject, const std::string& reason);

// Prints "ombrel: LINE" on standard error.
void report(const std::string& line);
// Prints the failure so: "ombrel: SUBJECT: REASON" (the usage lines as they
// stand; nothing for a failure without a reason, such as an interruption).
void report(const Failure& failure);

// What preparing a run has to say besides refusing it.
struct Messages {
    std::vector<std::string> warnings;  // always shown: a skin that can't be read, no skin found
    std::vector<std::string> notes;     // shown with --verbose: which file was chosen and why

    void show(bool verbose) const;
};

}  // namespace frontend
