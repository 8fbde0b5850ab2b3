#pragma once

#include "networks/document.h"
#include "networks/fieldmap.h"
#include "networks/network.h"
#include "networks/siteinfo.h"

#include <string>
#include <vector>

namespace pw {

// The values a signup form is filled from, as the networks dialog shows them
// (edits not yet committed to the profile included).
class SignupValues {
public:
    virtual ~SignupValues() = default;
    // The text of a text field; for a list choice the text of its chosen entry
    // (empty when none is chosen).
    virtual std::string Text(ProfileField field) const = 0;
    // The index chosen in a list choice, -1 when none (or for a text field).
    virtual int ChoiceIndex(ProfileField field) const = 0;
};

// Signup values taken from a stored profile and a login, with the list choices
// the networks dialog would show for them (the affiliate type derived from the
// company name, as the checker timer does).
class ProfileSignupValues : public SignupValues {
public:
    ProfileSignupValues(const TSiteInfo& profile, std::string user, std::string password);
    std::string Text(ProfileField field) const override;
    int ChoiceIndex(ProfileField field) const override;

private:
    const TSiteInfo& m_profile;
    std::string m_user;
    std::string m_password;
};

// One tick of the signup checker: for every network with Forms and an open
// SignupBrowser whose page has finished loading, finds the first form of the
// page (or of its frames, when the page itself has no form) that the network's
// field map names, and fills its elements from `values`. A window whose
// browser or document calls fail is taken to be gone: the network's
// SignupBrowser is set to none and the window is returned, so that its owner
// can release it. Failures of single entries are skipped silently.
std::vector<SignupWindow*> FillSignupForms(NetworkList& networks, const SignupValues& values);

// The same for one network. Returns false when the window was dropped.
bool FillSignupWindow(TNetwork& network, const SignupValues& values);

// The value of a fill rule's chain: the contributions of the rule and its
// successors joined (a text or list field gives its text, a quoted literal its
// inner text, anything else nothing).
std::string ChainValue(const TRegistField& entry, const SignupValues& values);

// Removes every occurrence of `what` from `text`, left to right, without
// overlapping and only at character boundaries.
std::string RemoveAll(std::string_view text, std::string_view what);

} // namespace pw
