// What belongs to a gateway user besides its record in the user store: the
// recipient addresses routed to it ("Inbound SMS Routing" of SMSGW.INI), its
// directory "USERS\<name>" under the program-data directory, and its MM7/EAIF
// login in the MMSC's accounts. The Users page and the user dialog change
// them together through here. Failures are not reported: the store, the
// directories and the settings file are the gateway's.
#pragma once
#include <windows.h>

#include <string>

#include "core/userrecord.h"
#include "gateway/zarqacct.h"

// The Users page adds no user once the store holds this many.
constexpr unsigned kUserLimit = 10;

// The longest routing key kept: a value of 32767 characters or more does not
// read back through every profile implementation.
constexpr unsigned kRoutingLimit = 32766;

// The user's routing key ("" when there is none).
std::string ReadUserRouting(const char* name);
// Writes the user's routing key, cut at kRoutingLimit characters; an empty
// text removes it. Line breaks would
// end the value early and turn the rest into keys of their own: they are
// written as blanks.
void WriteUserRouting(const char* name, const char* addresses);

// Moves "USERS\<from>" to "USERS\<to>"; deletes "USERS\<name>" with
// everything in it. Names that could leave "USERS\" or reach another user's
// directory (IsUsableUserName) are never used as paths.
void MoveUserDirectory(const char* from, const char* to);
void DeleteUserDirectory(const char* name);

// The user's MM7/EAIF login: whether it exists, made or refreshed from the
// user's fields (other bytes of an existing account are kept), removed.
bool HasMm7Account(const char* name);
void SaveMm7Account(const UserFields& fields);
void DeleteMm7Account(const char* name);

// The user dialog's checks of the name on OK, in their order.
enum class UserNameCheck { kOk, kRequired, kAlreadyDefined, kUnusable };
// `original` is the name the record held when the dialog opened ("" for a
// new user); the name is checked against the store only when it differs from
// it without regard to case.
UserNameCheck CheckUserName(SMSUSERFILE store, const char* original, const char* name);

// The dialog's confirmed changes besides the record: the routing key
// (written from `addresses` when received messages are accepted, removed
// otherwise) and the MM7/EAIF login (saved when `mm7`, removed otherwise).
void SaveUserExtras(const UserFields& fields, const char* addresses, bool mm7);

// Stores an edited record. A new name (not only a change of letter case) is
// a rename: the new record is stored first, then the former user is deleted,
// its directory moved to the new name and its routing key and MM7/EAIF login
// removed. False when the store refused the record (nothing else changes).
bool StoreEditedUser(SMSUSERFILE store, const unsigned char* before, const unsigned char* after);

// Deletes the user at `index` of the store with its directory, routing key
// and MM7/EAIF login. False when no record can be fetched there.
bool DeleteUserAt(SMSUSERFILE store, unsigned index);
