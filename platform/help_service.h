#pragma once
// Help by context number: the GUI opens the HTML manual at the topic's anchor.
#include <string>

namespace vokra {

enum HelpContext { kHelpContents = 100, kHelpAutoKey = 440 };

class HelpService {
public:
    virtual ~HelpService() = default;
    // True when the manual was opened.
    virtual bool Open(int context) = 0;
    // After a failed Open: which file it tried to open, as lines for the message (empty when
    // there is nothing to say).
    virtual std::string FailureDetail() const { return {}; }
};

HelpService* Help();
void SetHelpService(HelpService* service);

// Opens the topic; on failure shows "Failed to launch help." (with the file it tried on the lines
// after it) and returns false.
bool OpenHelpTopic(int context);

}  // namespace vokra
