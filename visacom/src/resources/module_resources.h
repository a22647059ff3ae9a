#pragma once
// Resource ids of MrvRS232.dll besides its string table.

// Registry scripts ("REGISTRY" resources). Only the session class's script is ever run; the
// other two describe classes that this DLL does not serve.
#define IDR_RS232SVR 101
#define IDR_TESTUTIL 122
#define IDR_SIMULATE_RS232SVR 203
