#include <new>
#include <vector>

#include "app/app_state.h"
#include "ui/show_message.h"
#include "resources/message_texts.h"
#include "platform/debug_channel.h"
#include "ui/clipboard_win32.h"
#include "ui/main_wnd.h"

namespace vellum {
namespace {

// Item identifier lists handed out by the shell, freed together.
class ItemIdLists {
 public:
  ItemIdLists() = default;
  ItemIdLists(const ItemIdLists&) = delete;
  ItemIdLists& operator=(const ItemIdLists&) = delete;
  ~ItemIdLists() {
    for (ITEMIDLIST* list : lists_) CoTaskMemFree(list);
  }
  void Reserve(size_t count) { lists_.reserve(count); }
  // Takes ownership; Reserve first so that adding cannot throw.
  void Add(ITEMIDLIST* list) { lists_.push_back(list); }
  UINT size() const { return static_cast<UINT>(lists_.size()); }
  PCUITEMID_CHILD_ARRAY data() const { return const_cast<PCUITEMID_CHILD_ARRAY>(lists_.data()); }

 private:
  std::vector<ITEMIDLIST*> lists_;
};

}  // namespace

ComPtr<IDataObject> CMainWnd::CreateSelectionDataObject() {
  ComPtr<IDataObject> dataObject;
  if (SendMessageW(m_hList, LVM_GETSELECTEDCOUNT, 0, 0) == 0) return dataObject;

  ComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Receive()))) return dataObject;
  CoTaskMemPtr<ITEMIDLIST> folderList;
  Text folderPath = AppState.workFolder;
  if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(Wide(folderPath)), nullptr,
                                       folderList.Receive(), nullptr))) {
    return dataObject;
  }
  ComPtr<IShellFolder> folder;
  if (FAILED(desktop->BindToObject(folderList.get(), nullptr, IID_IShellFolder, folder.ReceiveVoid()))) {
    return dataObject;
  }

  // The selected rows' files, top to bottom, found again by their names.
  const LRESULT rows = SendMessageW(m_hList, LVM_GETITEMCOUNT, 0, 0);
  ItemIdLists items;
  items.Reserve(static_cast<size_t>(rows));
  for (LRESULT row = 0; row < rows; ++row) {
    if (!(SendMessageW(m_hList, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED)) continue;
    wchar_t name[512] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = name;
    item.cchTextMax = 512;
    SendMessageW(m_hList, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    ITEMIDLIST* child = nullptr;
    if (FAILED(folder->ParseDisplayName(nullptr, nullptr, name, nullptr, &child, nullptr))) {
      return dataObject;
    }
    items.Add(child);
  }

  IDataObject* created = nullptr;
  if (FAILED(SHCreateDataObject(folderList.get(), items.size(), items.data(), nullptr, IID_IDataObject,
                                reinterpret_cast<void**>(&created)))) {
    // Some shells lack SHCreateDataObject; the folder's own data object over
    // the same items names the same files.
    created = nullptr;
    SayOnDebugChannel(u"vellum: data object: the folder's own\n");
    if (FAILED(folder->GetUIObjectOf(nullptr, items.size(), items.data(), IID_IDataObject, nullptr,
                                     reinterpret_cast<void**>(&created)))) {
      created = nullptr;
    }
  } else {
    SayOnDebugChannel(u"vellum: data object: SHCreateDataObject\n");
  }
  *dataObject.Receive() = created;
  return dataObject;
}

// The clipboard holds its own reference; ours goes when dataObject does.
void CMainWnd::CopySelection() {
  if (SendMessageW(m_hList, LVM_GETSELECTEDCOUNT, 0, 0) < 1) return;
  try {
    const ComPtr<IDataObject> dataObject = CreateSelectionDataObject();
    if (dataObject && SUCCEEDED(SetClipboardPatiently(dataObject.get()))) return;
  } catch (const std::bad_alloc&) {
    // Out of memory: nothing copied, said like any other failure.
  }
  ShowMessage(kMessageCannotCopy, MB_OK);
}

void CMainWnd::OnBeginDrag(bool rightButton, const NMLISTVIEW*) {
  // Drops when the button that started the drag is released; Escape cancels.
  class DROPSRC final : public IDropSource {
   public:
    explicit DROPSRC(bool rightButton) : m_bRightButton(rightButton) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      if (IsEqualIID(iid, IID_IDropSource) || IsEqualIID(iid, IID_IUnknown)) {
        *out = static_cast<IDropSource*>(this);
        AddRef();
        return S_OK;
      }
      *out = nullptr;
      return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++m_cRef); }
    ULONG STDMETHODCALLTYPE Release() override {
      const LONG count = --m_cRef;
      if (count == 0) delete this;
      return static_cast<ULONG>(count);
    }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override {
      if (escapePressed) return DRAGDROP_S_CANCEL;
      const DWORD button = m_bRightButton ? MK_RBUTTON : MK_LBUTTON;
      return (keyState & button) ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

   private:
    LONG m_cRef = 0;
    bool m_bRightButton;
  };

  const ComPtr<IDataObject> dataObject = CreateSelectionDataObject();
  if (!dataObject) return;
  IDropSource* dropSource = nullptr;
  (new DROPSRC(rightButton))->QueryInterface(IID_IDropSource, reinterpret_cast<void**>(&dropSource));
  // Copy is the only effect offered, so no target can move a file out of the
  // working folder.
  DWORD effect = 0;
  DoDragDrop(dataObject.get(), dropSource, DROPEFFECT_COPY, &effect);
  dropSource->Release();
}

}  // namespace vellum
