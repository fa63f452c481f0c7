#pragma once

class QLineEdit;

namespace tolvan {

class ConfigStore;

// Lets the To and From boxes complete from the addresses already used
// (KnownAddresses), read once when the screen is built.
void AttachAddressCompleter(const ConfigStore& store, QLineEdit* to, QLineEdit* from);

// Lets a destination box complete from the call signs among those addresses.
void AttachCallSignCompleter(const ConfigStore& store, QLineEdit* destination);

} // namespace tolvan
