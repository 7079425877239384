#pragma once
// The stored form of data-server passwords in the connection registry: one decimal number per
// character, each followed by ";", the character's ANSI code XOR the code of the key's
// character at the same position (the key repeated as often as needed). The designer writes it
// with the key the administrator types; the run-time library and the launcher read it back with
// the fixed key kStoredPasswordKey. The empty password is the empty text.

#include <QString>

namespace orra {

// The key with which the run-time library and the launcher read stored passwords.
inline const QString kStoredPasswordKey = QStringLiteral("tarvok");

// Error number of a stored password that is not in the stored form (VB's "Type mismatch").
constexpr long kMalformedStoredPasswordError = 13;

// The stored form of password under key. Throws orra::Error (5) when the key is empty and the
// password is not (the key would have nothing to repeat).
QString ScramblePassword(const QString& password, const QString& key);

// The password of a stored form. Throws orra::Error(kMalformedStoredPasswordError,
// "DecodePassword", "The stored password is malformed") for a text that is not the stored form:
// anything but numbers of 0 to 255 each ended by ";" (a missing final ";" included).
QString DecodePassword(const QString& stored, const QString& key = kStoredPasswordKey);

}   // namespace orra
