#pragma once
// Resource identifiers shared by the resource script and the code.
#define IDI_KESTROW 1
#define IDB_HELP 101
