// Shared between the link library's sources.
#pragma once
#include <string>
#include <vector>

// Names of the system phonebook's dial-up entries (none where there is no phonebook).
std::vector<std::string> PhonebookEntries();
// True when `profile` names one of them (without regard to case).
bool PhonebookHas(const char* profile);
