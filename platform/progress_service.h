#pragma once
// Progress of a long task the user may cancel, behind an interface: the GUI shows a progress
// dialog with a Cancel button, tests script when to cancel, and without a service nothing is
// shown and nothing cancels.
#include <functional>
#include <memory>
#include <string>

namespace vokra {

// One task's progress: Update takes the fraction done (0..1) and returns false once the user has
// cancelled. Destroying it closes whatever showed it.
class ProgressTask {
public:
    virtual ~ProgressTask() = default;
    virtual bool Update(double fraction) = 0;
};

class ProgressService {
public:
    virtual ~ProgressService() = default;
    virtual std::unique_ptr<ProgressTask> Begin(const std::string& label) = 0;
};

void SetProgressService(ProgressService* service);
// A task of the installed service, or one that shows nothing and never cancels.
std::unique_ptr<ProgressTask> BeginProgress(const std::string& label);

}  // namespace vokra
