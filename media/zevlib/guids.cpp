// Instantiates the interface ids of 7-Zip's COM-style interfaces (exactly one translation
// unit of the library does this).
#include "Common/MyWindows.h"

#include "Common/MyInitGuid.h"

#include "7zip/Archive/IArchive.h"
#include "7zip/ICoder.h"
#include "7zip/IPassword.h"
#include "7zip/IProgress.h"
#include "7zip/IStream.h"
