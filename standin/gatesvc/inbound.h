// Messages the modem received: listed in PDU mode (AT+CMGL), each stored as a
// received SMS file ("[SMS-IN]", hexadecimal user data with its coding) in
// the received-SMS directory, or, for a WAP push to port 2948, handed to the
// MMSC as a ".PUSH" file in the private data directory's "MMSPUSH\" folder;
// then deleted from the modem (AT+CMGD). Parts of a concatenated message wait
// in "SMSPARTS\" until all are there; parts still alone after a day are
// stored one by one. A message is removed from the modem only once its file
// is written.
#pragma once
#include <string>

class ModemLine;

class Inbound {
 public:
  explicit Inbound(const char* ini) : ini_(ini) {}

  // Takes every message the modem holds. `ownNumber` becomes the received
  // files' recipient. False when the modem stopped answering.
  bool Pass(ModemLine* modem, const std::string& ownNumber, const std::string& modemName);

 private:
  // Stores one listed PDU; false when its file could not be written.
  bool Take(const std::string& pduHex, const std::string& ownNumber, const std::string& modemName);
  void StoreStaleParts(const std::string& ownNumber, const std::string& modemName);

  const char* ini_;
};
