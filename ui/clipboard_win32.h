#pragma once
#include "platform/win32_api.h"

namespace vellum {

// Clipboard managers, remote-desktop clipboard sharing and clipboard history
// hold the clipboard open for a moment after every change, and the OLE
// clipboard calls then fail at once with CLIPBRD_E_CANT_OPEN. These retry
// that one failure for about half a second in all before giving up.
HRESULT SetClipboardPatiently(IDataObject* dataObject);
HRESULT GetClipboardPatiently(IDataObject** dataObject);

}  // namespace vellum
