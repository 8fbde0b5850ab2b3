#pragma once

#include "networks/fieldmap.h"

#include <QGroupBox>

#include <array>
#include <memory>
#include <vector>

class QComboBox;
class QLineEdit;

namespace Ui {
class ProfilePage;
}

namespace pw {
class SignupValues;
class TNetwork;
class TSiteInfo;
} // namespace pw

namespace pw::gui {

// The registration profile page of the networks dialog: the profile
// selector, the login of the network on display, and every value the signup
// fill can take. Fields are coloured by what the network's signup form needs
// (required, optional, not used).
class ProfilePage : public QGroupBox {
    Q_OBJECT
public:
    explicit ProfilePage(QWidget* parent = nullptr);
    ~ProfilePage() override;

    void showProfile(const TSiteInfo& profile);
    void commitProfile(TSiteInfo& profile) const;

    // Colours the fields for `network`'s signup definitions (none: all "not
    // used") and links the fields its definitions mirror.
    void markFields(TNetwork* network);

    // The fill's values: what the page shows, edits not yet committed
    // included. The transfer kind follows the company name first.
    std::unique_ptr<SignupValues> signupValues();

    QComboBox* profiles() const;
    QLineEdit* user() const;
    QLineEdit* password() const;

signals:
    void newProfileClicked();
    void deleteProfileClicked();
    void renameProfileClicked();

private:
    QWidget* fieldWidget(ProfileField field) const;
    void checkSiteUrl();
    void checkPhone(QLineEdit* field);

    std::unique_ptr<Ui::ProfilePage> ui;
    std::array<QWidget*, kProfileFieldCount> m_fieldMap {};
    std::vector<QMetaObject::Connection> m_mirrors;
};

// Trims the blanks the core trims from a profile or network field.
void TrimField(QLineEdit* edit);

} // namespace pw::gui
