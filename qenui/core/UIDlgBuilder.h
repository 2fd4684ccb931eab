// CDialogBuilder: builds a control tree from a layout file of the skin.
// The first Create parses and keeps the layout; later Create calls (without
// a file) build further copies from it, e.g. one per list row.
#pragma once

#include "qenui/core/UIManager.h"
#include "qenui/core/UIMarkup.h"

namespace DuiLib {

class IDialogBuilderCallback {
 public:
  virtual ~IDialogBuilderCallback() = default;
  // Maps a layout class name that the library does not know to a new control, or null.
  virtual CControlUI* CreateControl(LPCTSTR pstrClass) = 0;
  // Deletes a control made by CreateControl.
  virtual void DeleteControl(CControlUI* pControl) { delete pControl; }
};

class CDialogBuilder {
 public:
  // Parses the layout file (skin name, '/' or '\\', any case) and builds it.
  CControlUI* Create(LPCTSTR xml, LPCTSTR type = nullptr, IDialogBuilderCallback* pCallback = nullptr,
                     CPaintManagerUI* pManager = nullptr, CControlUI* pParent = nullptr);
  // Builds another copy from the layout parsed before.
  CControlUI* Create(IDialogBuilderCallback* pCallback = nullptr, CPaintManagerUI* pManager = nullptr,
                     CControlUI* pParent = nullptr);
  // Parses layout text given directly (no file).
  CControlUI* CreateFromText(const std::u16string& text, IDialogBuilderCallback* pCallback = nullptr,
                             CPaintManagerUI* pManager = nullptr, CControlUI* pParent = nullptr);
  CMarkup* GetMarkup() { return &m_xml; }
  const std::string& GetLastError() const { return m_xml.GetLastError(); }

  // Makes a control of a class the library knows ("Button", "VerticalLayout", ...), or null.
  static CControlUI* CreateBuiltinControl(LPCTSTR pstrClass);

 private:
  CControlUI* Parse(const CMarkupNode& node, CControlUI* pParent, CPaintManagerUI* pManager);
  CMarkup m_xml;
  IDialogBuilderCallback* m_pCallback = nullptr;
};

}  // namespace DuiLib
