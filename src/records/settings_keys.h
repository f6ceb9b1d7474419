#pragma once

#include <QString>
#include <QtGlobal>
#include <limits>

// Every key of the settings file, one table per section: the key's name, the
// form its value is written in and the value that stands when the key is
// absent or its text is not of that form. The in-memory records take their
// defaults from here, so a default is named once.
//
// The entries of a list (accounts, filter rules, WAV actions) have one key per
// field, the field's stem followed by the entry's position from 1: "Title1",
// "Title2", ...

// "True"/"False"; read also in any letter case, or as a number (0 is false).
struct BooleanKey {
    const char* Name;
    bool Default;
};

// A whole number in decimal; read rounded half to even, and within [Min, Max].
struct WholeKey {
    const char* Name;
    qint64 Default;
    qint64 Min;
    qint64 Max;
};

// Text, kept as it was written.
struct TextKey {
    const char* Name;
    const char* Default = nullptr; // nullptr: empty
};

// A real number in single precision. It has no default: when it is absent or
// unreadable the reader keeps what it has.
struct RealKey {
    const char* Name;
};

// The length of a list, written in decimal; anything but 0 to 32766 reads as 0.
struct CountKey {
    const char* Name;
};

inline QString DefaultText(const TextKey& key) {
    return key.Default ? QString::fromLatin1(key.Default) : QString();
}

// Section "Config": the general options and the main window's placement.
namespace ConfigKeys {
inline constexpr const char* Section = "Config";
// Minutes between two passes. Less than one would log on to every account
// every second: like any other unreadable value, it reads as the default.
inline constexpr WholeKey PoolingTime{"PoolingTime", 5, 1, std::numeric_limits<qint32>::max()};
inline constexpr BooleanKey AutoExpand{"AutoExpand", true};
inline constexpr BooleanKey AutoDialog{"AutoDialog", true};
inline constexpr TextKey DialogMessage{"DialogMessage", "You have # new message[s]"};
inline constexpr BooleanKey PlayWav{"PlayWav", false};
inline constexpr BooleanKey RandomPlayWAV{"RandomPlayWAV", false};
inline constexpr TextKey WavFile{"WavFile"};
inline constexpr TextKey WavFolder{"WavFolder"};
inline constexpr BooleanKey RunInTray{"RunInTray", true};
inline constexpr BooleanKey AutoMarkRead{"AutoMarkRead", false};
inline constexpr BooleanKey AutoExit{"AutoExit", false};
inline constexpr BooleanKey AutoMin{"AutoMin", false};
// The default is the folder "Logs/" in Larkwatch's data folder.
inline constexpr TextKey LogFilesPath{"LogFilesPath", "Logs/"};
inline constexpr BooleanKey LogDisabled{"LogDisabled", true};
inline constexpr BooleanKey LogAllInOne{"LogAllInOne", true};
// The count of new messages drawn on the tray icon's new-mail picture.
inline constexpr BooleanKey TrayCount{"TrayCount", true};
// Larkwatch is started when the user logs in (an entry in the desktop's
// autostart folder).
inline constexpr BooleanKey Autostart{"Autostart", false};
// New mail is also announced by a notification of the desktop.
inline constexpr BooleanKey DesktopNotify{"DesktopNotify", true};
// Account passwords are kept in the desktop keyring, the settings file holding
// only a marker; without a keyring they stay encoded in the settings file.
inline constexpr BooleanKey Keyring{"Keyring", true};

// The main window's placement: its normal rectangle in twips (1/1440 inch)
// and its state, 0 normal or 2 maximised (absent: the window keeps its own).
inline constexpr RealKey Top{"Top"};
inline constexpr RealKey Left{"Left"};
inline constexpr RealKey Height{"Height"};
inline constexpr RealKey Width{"Width"};
inline constexpr WholeKey State{"State", 0, std::numeric_limits<qint16>::min(),
                                std::numeric_limits<qint16>::max()};
inline constexpr qint64 StateNormal = 0;
inline constexpr qint64 StateMaximized = 2;
} // namespace ConfigKeys

// Section "Accounts": the count and one stem per account field.
namespace AccountKeys {
inline constexpr const char* Section = "Accounts";
inline constexpr CountKey Total{"Total"};
inline constexpr TextKey Title{"Title"};
inline constexpr TextKey Host{"Host"};
inline constexpr TextKey User{"User"};
// In the password codec's form, or the keyring marker (see keyring_passwords.h).
inline constexpr TextKey Password{"Password"};
inline constexpr WholeKey Port{"Port", 110, 1, 65535};
inline constexpr BooleanKey Disabled{"Disabled", false};
// "None", "STARTTLS" or "TLS"; absent or unknown: the port's default security.
inline constexpr TextKey Security{"Security"};
inline constexpr TextKey CertSHA256{"CertSHA256"};
// The sign-in method: "Password" or "OAuth2"; absent or unknown: "Password".
inline constexpr TextKey Auth{"Auth", "Password"};
// OAuth2: "Google", "Microsoft" or "Custom", and the endpoints, scope and
// client the account signs in with (empty: the provider's preset).
inline constexpr TextKey OAuthProvider{"OAuthProvider"};
inline constexpr TextKey OAuthAuthUrl{"OAuthAuthUrl"};
inline constexpr TextKey OAuthTokenUrl{"OAuthTokenUrl"};
inline constexpr TextKey OAuthScope{"OAuthScope"};
inline constexpr TextKey OAuthClientId{"OAuthClientId"};
inline constexpr TextKey OAuthClientSecret{"OAuthClientSecret"};
// The refresh token, stored as a password is: encoded, or the keyring marker.
inline constexpr TextKey OAuthToken{"OAuthToken"};
} // namespace AccountKeys

// Sections "Filters" and "Actions": filter rules and WAV actions share the
// rule stems; a WAV action adds its sound file.
namespace RuleKeys {
inline constexpr const char* FiltersSection = "Filters";
inline constexpr CountKey TotalFilters{"TotalFilters"};
inline constexpr BooleanKey AutoPrompt{"AutoPrompt", true};
inline constexpr BooleanKey UseFieldTO{"UseFieldTO", false};
inline constexpr TextKey FilterTO{"FilterTO"};

inline constexpr const char* ActionsSection = "Actions";
inline constexpr CountKey TotalActions{"TotalActions"};
inline constexpr TextKey WavFile{"WavFile"};

inline constexpr TextKey SenderText{"SenderText"};
inline constexpr TextKey SubjectText{"SubjectText"};
inline constexpr BooleanKey SenderMatch{"SenderMatch", true};
inline constexpr BooleanKey SubjectMatch{"SubjectMatch", true};
inline constexpr BooleanKey AND{"AND", true};
// "True" means the rule is in force (the name is kept for existing files).
inline constexpr BooleanKey Disabled{"Disabled", false};
} // namespace RuleKeys
