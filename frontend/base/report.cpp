#include "frontend/base/report.h"

#include <iostream>

namespace frontend {

Failure::Failure(ExitCode code, const std::string& subject, const std::string& reason)
    : std::runtime_error(subject.empty() ? reason : subject + ": " + reason),
      code_(code),
      subject_(subject),
      reason_(reason) {}

Failure badInput(const std::string& subject, const std::string& reason) {
    return Failure(ExitCode::BadInput, subject, reason);
}

Failure badOptionValue(const std::string& longName, const std::string& value, const std::string& reason) {
    Failure failure(ExitCode::BadInput, "--" + longName + " " + value, reason);
    failure.option = longName;
    failure.value = value;
    return failure;
}

Failure usageFailure(const std::string& text) {
    Failure failure(ExitCode::BadInput, "", text);
    failure.bare_ = true;
    return failure;
}

Failure interrupted(int signal) {
    Failure failure(ExitCode::SystemFailure, "", "");
    failure.signal = signal;
    return failure;
}

Failure systemFailure(const std::string& subject, const std::string& reason) {
    return Failure(ExitCode::SystemFailure, subject, reason);
}

void report(const std::string& line) { std::cerr << "ombrel: " << line << "\n"; }

void report(const Failure& failure) {
    if (failure.bare())
        std::cerr << failure.what() << "\n";
    else if (!failure.reason().empty())
        report(std::string(failure.what()));
}

void Messages::show(bool verbose) const {
    for (const std::string& warning : warnings) report(warning);
    if (verbose)
        for (const std::string& note : notes) report(note);
}

}  // namespace frontend
