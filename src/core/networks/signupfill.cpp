#include "networks/signupfill.h"

#include "networks/registnumber.h"
#include "text/sjis.h"

#include <cstdint>

namespace pw {

namespace {

// A chain is never longer than the form's entry list; the bound keeps a
// damaged chain from looping.
constexpr size_t kMaxChain = 100000;

template <typename T> Status Need(const DomResult<std::unique_ptr<T>>& r, const char* what)
{
    if (!r)
        return r.status;
    if (!r.value)
        return Status::Fail(std::string("no ") + what);
    return Status::Ok();
}

// Reads "Value" of the element; when that fails, of the second element of the
// same name, which then becomes `element`.
DomResult<std::string> ReadValue(
    DomCollection& elements, std::string_view name, std::unique_ptr<DomElement>& element)
{
    DomResult<std::string> value = element->ReadProperty("Value");
    if (value)
        return value;
    auto second = elements.ItemByName(name, 1);
    if (Status s = Need(second, "element"); !s)
        return DomResult<std::string>::Fail(s.error);
    element = std::move(second.value);
    return element->ReadProperty("Value");
}

std::string CutValue(const std::string& value, char cut, int32_t number)
{
    const int64_t size = static_cast<int64_t>(value.size());
    switch (cut) {
    case '<':
        if (number < 1)
            return {};
        return value.substr(0, static_cast<size_t>(std::min<int64_t>(number, size)));
    case '>':
        if (number < 1)
            return {};
        return number >= size ? value : value.substr(static_cast<size_t>(size - number));
    default: // '{'
        if (number <= 1)
            return value;
        if (number > size)
            return {};
        return value.substr(static_cast<size_t>(number - 1));
    }
}

// Steps 8 to 13 for one entry: any failure skips the entry.
void FillEntry(const TRegistField& entry, DomCollection& elements, std::unique_ptr<DomElement> element,
    const SignupValues& values)
{
    const DomResult<std::string> current = ReadValue(elements, entry.Target, element);
    if (!current)
        return;
    if (entry.Number == kNoNumber && current.value != entry.Expected)
        return;
    std::string value = ChainValue(entry, values);
    if (value.empty())
        return;
    if (!entry.RemoveText.empty())
        value = RemoveAll(value, entry.RemoveText);
    if (!entry.GuardName.empty()) {
        auto guard = elements.ItemByName(entry.GuardName, 0);
        if (guard && guard.value) {
            DomResult<std::string> held = ReadValue(elements, entry.GuardName, guard.value);
            if (held && held.value == value)
                return;
        }
    }
    if (entry.Cut != '\0') {
        element->WriteText("Value", CutValue(value, entry.Cut, entry.Number));
        return;
    }
    if (entry.Number == kNoNumber) {
        element->WriteText("Value", value);
        return;
    }
    if (!IsListField(entry.Control))
        return;
    int64_t index = values.ChoiceIndex(entry.Control);
    if (entry.Pairs) {
        const std::vector<int32_t>& pairs = *entry.Pairs;
        for (size_t j = 0; j < pairs.size(); j += 2) {
            if (pairs[j] == index) {
                if (j + 1 >= pairs.size())
                    return; // the last number has no partner
                index = pairs[j + 1];
                break;
            }
        }
    } else {
        index += entry.Number;
    }
    if (index < INT32_MIN || index > INT32_MAX)
        return;
    const DomResult<std::string> type = element->ReadProperty("type");
    if (!type)
        return;
    const std::string upper = sjis::ToUpperAscii(type.value);
    if (upper == "RADIO" || upper == "CHECKBOX") {
        auto button = elements.ItemByName(entry.Target, static_cast<int>(index));
        if (!button || !button.value)
            return;
        button.value->WriteBool("Checked", true);
    } else {
        element->WriteInteger("selectedIndex", static_cast<int>(index));
    }
}

// Finds the form of the first definition that the document holds and fills it.
// A failing browser call is returned; the caller drops the window.
Status FillDocument(DomCollection& forms, const std::vector<RegistForm>& definitions, const SignupValues& values)
{
    const RegistForm* definition = nullptr;
    std::unique_ptr<DomElement> form;
    for (const RegistForm& candidate : definitions) {
        auto byName = forms.ItemByName(candidate.Name, 0);
        if (!byName)
            return byName.status;
        form = std::move(byName.value);
        int32_t position = 0;
        if (!form && ParseDecimal(candidate.Name, position)) {
            auto byPosition = forms.ItemAt(position);
            if (!byPosition)
                return byPosition.status;
            form = std::move(byPosition.value);
        }
        if (form) {
            definition = &candidate;
            break;
        }
    }
    if (!definition)
        return Status::Ok();
    auto all = form->All();
    if (Status s = Need(all, "form elements"); !s)
        return s;
    DomCollection& elements = *all.value;
    for (const auto& entry : definition->Fields) {
        if (entry->Continued || entry->Mirror)
            continue;
        auto target = elements.ItemByName(entry->Target, 0);
        if (!target)
            return target.status;
        if (!target.value)
            continue;
        FillEntry(*entry, elements, std::move(target.value), values);
    }
    return Status::Ok();
}

Status FillWindow(SignupWindow& window, const std::vector<RegistForm>& definitions, const SignupValues& values)
{
    const DomResult<int> ready = window.ReadyState();
    if (!ready)
        return ready.status;
    if (ready.value != kReadyStateComplete)
        return Status::Ok();
    auto document = window.Document();
    if (Status s = Need(document, "document"); !s)
        return s;
    auto forms = document.value->Forms();
    if (Status s = Need(forms, "forms"); !s)
        return s;
    const DomResult<int> formCount = forms.value->Length();
    if (!formCount)
        return formCount.status;
    if (formCount.value > 0)
        return FillDocument(*forms.value, definitions, values);

    // No form in the page itself: the frames' documents that hold forms, in
    // frame order, skipping frames of another origin (an ad's frame must never
    // receive the profile). Frames inside frames are not examined.
    const DomResult<int> frameCount = document.value->FrameCount();
    if (!frameCount)
        return frameCount.status;
    std::vector<std::unique_ptr<DomCollection>> frameForms;
    for (int i = 0; i < frameCount.value; ++i) {
        auto frame = document.value->FrameDocument(i);
        if (!frame)
            return frame.status;
        if (!frame.value)
            continue;
        auto collection = frame.value->Forms();
        if (Status s = Need(collection, "forms"); !s)
            return s;
        const DomResult<int> count = collection.value->Length();
        if (!count)
            return count.status;
        if (count.value > 0)
            frameForms.push_back(std::move(collection.value));
    }
    for (auto& collection : frameForms)
        if (Status s = FillDocument(*collection, definitions, values); !s)
            return s;
    return Status::Ok();
}

int ChoiceOf(int32_t index, size_t size)
{
    return index >= 0 && static_cast<size_t>(index) < size ? index : -1;
}

template <size_t N> std::string EntryText(const std::array<std::string_view, N>& entries, int index)
{
    return index < 0 ? std::string() : std::string(entries[static_cast<size_t>(index)]);
}

} // namespace

ProfileSignupValues::ProfileSignupValues(const TSiteInfo& profile, std::string user, std::string password)
    : m_profile(profile)
    , m_user(std::move(user))
    , m_password(std::move(password))
{
}

int ProfileSignupValues::ChoiceIndex(ProfileField field) const
{
    switch (field) {
    case ProfileField::Addr1:
        return ChoiceOf(m_profile.Addr1, kPrefectures.size());
    case ProfileField::AccountType:
        return ChoiceOf(m_profile.AccountType, kAccountTypes.size());
    case ProfileField::AffType:
        return DeriveAffType(m_profile.Company);
    case ProfileField::Country:
        return 0;
    default:
        return -1;
    }
}

std::string ProfileSignupValues::Text(ProfileField field) const
{
    const TSiteInfo& p = m_profile;
    switch (field) {
    case ProfileField::None:
        return {};
    case ProfileField::User:
        return m_user;
    case ProfileField::Password:
        return m_password;
    case ProfileField::EMail:
        return p.EMail;
    case ProfileField::SiteName:
        return p.SiteName;
    case ProfileField::SiteKana:
        return p.SiteKana;
    case ProfileField::SiteUrl:
        return p.SiteUrl;
    case ProfileField::PV:
        return p.PV;
    case ProfileField::SiteDesc:
        return p.SiteDesc;
    case ProfileField::Name1:
        return p.Name1;
    case ProfileField::NameM:
        return std::string(kNameSeparator);
    case ProfileField::Name2:
        return p.Name2;
    case ProfileField::KanaName1:
        return p.KanaName1;
    case ProfileField::KanaName2:
        return p.KanaName2;
    case ProfileField::Phone:
        return p.Phone;
    case ProfileField::Fax:
        return p.Fax;
    case ProfileField::Zip:
        return p.Zip;
    case ProfileField::Addr1:
        return EntryText(kPrefectures, ChoiceIndex(field));
    case ProfileField::Addr2:
        return p.Addr2;
    case ProfileField::Addr3:
        return p.Addr3;
    case ProfileField::Addr4:
        return p.Addr4;
    case ProfileField::Company:
        return p.Company;
    case ProfileField::AffType:
        return EntryText(kAffTypes, ChoiceIndex(field));
    case ProfileField::KanaCompany:
        return p.KanaCompany;
    case ProfileField::BankName:
        return p.BankName;
    case ProfileField::BranchName:
        return p.BranchName;
    case ProfileField::AccountNumber:
        return p.Account;
    case ProfileField::AccountName:
        return p.AccountName;
    case ProfileField::AccountKanaName:
        return p.AccountKana;
    case ProfileField::AccountType:
        return EntryText(kAccountTypes, ChoiceIndex(field));
    case ProfileField::Country:
        return EntryText(kCountries, ChoiceIndex(field));
    }
    return {};
}

std::string ChainValue(const TRegistField& entry, const SignupValues& values)
{
    std::string value;
    size_t steps = 0;
    for (const TRegistField* member = &entry; member && steps < kMaxChain; member = member->Next, ++steps) {
        if (member->Control != ProfileField::None)
            value += values.Text(member->Control);
        else if (!member->Source.empty() && member->Source.front() == '"')
            value += member->Source.size() >= 2 ? member->Source.substr(1, member->Source.size() - 2) : "";
    }
    return value;
}

std::string RemoveAll(std::string_view text, std::string_view what)
{
    if (what.empty())
        return std::string(text);
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (text.substr(i, what.size()) == what) {
            i += what.size();
            continue;
        }
        const size_t length = sjis::CharLength(text, i);
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

bool FillSignupWindow(TNetwork& network, const SignupValues& values)
{
    if (!network.Forms || !network.SignupBrowser)
        return true;
    if (!FillWindow(*network.SignupBrowser, *network.Forms, values)) {
        network.SignupBrowser = nullptr;
        return false;
    }
    return true;
}

std::vector<SignupWindow*> FillSignupForms(NetworkList& networks, const SignupValues& values)
{
    std::vector<SignupWindow*> dropped;
    for (auto& network : networks) {
        SignupWindow* window = network->SignupBrowser;
        if (!FillSignupWindow(*network, values))
            dropped.push_back(window);
    }
    return dropped;
}

} // namespace pw
