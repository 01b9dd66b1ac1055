// How many messages wait in the outbound queues: the queue directory and its
// immediate subdirectories, walked without reading any file.
#pragma once

// "*.REQ" files of the outbound SMS queue tree.
unsigned CountSmsQueue();
// "*.MMS" files of the outbound MMS queue tree that have their ".INI".
unsigned CountMmsQueue();
