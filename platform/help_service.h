#pragma once
// Help by context number: the GUI opens the HTML manual at the topic's anchor.
namespace vokra {

enum HelpContext { kHelpContents = 100, kHelpAutoKey = 440 };

class HelpService {
public:
    virtual ~HelpService() = default;
    // True when the manual was opened.
    virtual bool Open(int context) = 0;
};

HelpService* Help();
void SetHelpService(HelpService* service);

// Opens the topic; on failure shows "Failed to launch help." and returns false.
bool OpenHelpTopic(int context);

}  // namespace vokra
