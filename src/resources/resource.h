// Resource ids shared by the resource script and the code. Dialog templates
// are named resources ("DIALOG_SERVER", "WAITDLG"); each dialog's control ids
// are in its own header beside this one, included below.
#pragma once

#define IDR_MANIFEST 1

#include "waitdlg.h"
#include "wizcomplete.h"
#include "addmodem.h"
#include "modem.h"
#include "server.h"
#include "debuglog.h"
#include "smsusers.h"
#include "userinfo.h"
#include "recv.h"
#include "twowaycommand.h"
#include "mm7.h"
#include "testmsg.h"
#include "status.h"
#include "eventview.h"
#include "messagelist.h"
#include "mmsview.h"
