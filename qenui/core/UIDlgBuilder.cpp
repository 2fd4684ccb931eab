#include "qenui/core/UIDlgBuilder.h"

#include "qenui/control/UIList.h"
#include "qenui/control/UIWebBrowser.h"

namespace DuiLib {

static bool Is(LPCTSTR a, LPCTSTR b) { return CompareNoCase(a, b) == 0; }

CControlUI* CDialogBuilder::CreateBuiltinControl(LPCTSTR c) {
  struct Entry { LPCTSTR name; CControlUI* (*make)(); };
  static const Entry kTable[] = {
      {u"Control", [] () -> CControlUI* { return new CControlUI; }},
      {u"Container", [] () -> CControlUI* { return new CContainerUI; }},
      {u"VerticalLayout", [] () -> CControlUI* { return new CVerticalLayoutUI; }},
      {u"HorizontalLayout", [] () -> CControlUI* { return new CHorizontalLayoutUI; }},
      {u"TabLayout", [] () -> CControlUI* { return new CTabLayoutUI; }},
      {u"TileLayout", [] () -> CControlUI* { return new CTileLayoutUI; }},
      {u"Label", [] () -> CControlUI* { return new CLabelUI; }},
      {u"Text", [] () -> CControlUI* { return new CTextUI; }},
      {u"Button", [] () -> CControlUI* { return new CButtonUI; }},
      {u"Option", [] () -> CControlUI* { return new COptionUI; }},
      {u"CheckBox", [] () -> CControlUI* { return new CCheckBoxUI; }},
      {u"Progress", [] () -> CControlUI* { return new CProgressUI; }},
      {u"Animation", [] () -> CControlUI* { return new CAnimationUI; }},
      {u"Sequence", [] () -> CControlUI* { return new CSequenceUI; }},
      {u"PngImage", [] () -> CControlUI* { return new CPngImageUI; }},
      {u"Edit", [] () -> CControlUI* { return new CEditUI; }},
      {u"Combo", [] () -> CControlUI* { return new CComboUI; }},
      {u"List", [] () -> CControlUI* { return new CListUI; }},
      {u"ListHeader", [] () -> CControlUI* { return new CListHeaderUI; }},
      {u"ListHeaderItem", [] () -> CControlUI* { return new CListHeaderItemUI; }},
      {u"ListLabelElement", [] () -> CControlUI* { return new CListLabelElementUI; }},
      {u"ListContainerElement", [] () -> CControlUI* { return new CListContainerElementUI; }},
      {u"ScrollBar", [] () -> CControlUI* { return new CScrollBarUI; }},
      {u"WebBrowser", [] () -> CControlUI* { return new CWebBrowserUI; }},
  };
  for (const Entry& e : kTable)
    if (Is(c, e.name)) return e.make();
  return nullptr;
}

CControlUI* CDialogBuilder::Create(LPCTSTR xml, LPCTSTR, IDialogBuilderCallback* pCallback, CPaintManagerUI* pManager,
                                   CControlUI* pParent) {
  CDuiString s(xml);
  if (s.GetAt(0) == u'<') return CreateFromText(s.str(), pCallback, pManager, pParent);
  std::string bytes;
  if (!CPaintManagerUI::LoadResourceFile(s, &bytes)) {
    m_xml.Release();
    return nullptr;
  }
  if (!m_xml.LoadFromBytes(bytes)) return nullptr;
  return Create(pCallback, pManager, pParent);
}

CControlUI* CDialogBuilder::CreateFromText(const std::u16string& text, IDialogBuilderCallback* pCallback,
                                           CPaintManagerUI* pManager, CControlUI* pParent) {
  if (!m_xml.Load(text)) return nullptr;
  return Create(pCallback, pManager, pParent);
}

CControlUI* CDialogBuilder::Create(IDialogBuilderCallback* pCallback, CPaintManagerUI* pManager, CControlUI* pParent) {
  if (!m_xml.IsValid()) return nullptr;
  m_pCallback = pCallback;
  const CMarkupNode& root = m_xml.GetRoot();
  if (Is(root.name, u"Window")) {
    if (pManager) {
      for (auto& a : root.attributes) pManager->SetWindowAttribute(a.first, a.second);
      for (auto& child : root.children) {
        if (Is(child.name, u"Font")) {
          int id = child.HasAttribute(u"id") ? static_cast<int>(ParseInt(child.GetAttributeValue(u"id"))) : -1;
          CDuiString name = child.GetAttributeValue(u"name");
          int size = child.HasAttribute(u"size") ? static_cast<int>(ParseInt(child.GetAttributeValue(u"size"))) : 12;
          bool bold = Is(child.GetAttributeValue(u"bold"), u"true");
          bool underline = Is(child.GetAttributeValue(u"underline"), u"true");
          bool italic = Is(child.GetAttributeValue(u"italic"), u"true");
          if (id >= 0) pManager->AddFont(id, name, size, bold, underline, italic);
          if (Is(child.GetAttributeValue(u"default"), u"true")) pManager->SetDefaultFont(name, size, bold, underline, italic);
        } else if (Is(child.name, u"Default")) {
          pManager->AddDefaultAttributeList(child.GetAttributeValue(u"name"), child.GetAttributeValue(u"value"));
        }
      }
    }
  }
  return Parse(root, pParent, pManager);
}

CControlUI* CDialogBuilder::Parse(const CMarkupNode& node, CControlUI* pParent, CPaintManagerUI* pManager) {
  CControlUI* pReturn = nullptr;
  bool isWindow = Is(node.name, u"Window");
  const std::vector<CMarkupNode>& list = node.children;
  std::vector<const CMarkupNode*> nodes;
  if (isWindow) { for (auto& c : list) nodes.push_back(&c); }
  else nodes.push_back(&node);
  for (const CMarkupNode* n : nodes) {
    if (Is(n->name, u"Font") || Is(n->name, u"Default") || Is(n->name, u"Image")) continue;
    if (Is(n->name, u"Include")) {
      CDuiString src = n->GetAttributeValue(u"source");
      int count = n->HasAttribute(u"count") ? static_cast<int>(ParseInt(n->GetAttributeValue(u"count"))) : 1;
      for (int i = 0; i < count && i < 100; ++i) {
        CDialogBuilder inner;
        CControlUI* c = inner.Create(src, nullptr, m_pCallback, pManager, pParent);
        if (!pReturn) pReturn = c;
      }
      continue;
    }
    CControlUI* pControl = CreateBuiltinControl(n->name);
    if (!pControl && m_pCallback) pControl = m_pCallback->CreateControl(n->name);
    if (!pControl) continue;  // an unknown class is skipped with its subtree
    if (pManager) {
      // Default attributes of the class first, then the element's own.
      pControl->SetManager(pManager, nullptr, false);
      if (LPCTSTR defaults = pManager->GetDefaultAttributeList(n->name)) pControl->ApplyAttributeList(defaults);
    }
    for (auto& a : n->attributes) pControl->SetAttribute(a.first, a.second);
    for (auto& child : n->children) Parse(child, pControl, pManager);
    if (pParent) {
      auto* container = static_cast<CContainerUI*>(pParent->GetInterface(u"Container"));
      bool added = container && container->Add(pControl);
      if (!added) {
        if (m_pCallback) m_pCallback->DeleteControl(pControl); else delete pControl;
        continue;
      }
    } else if (pManager) {
      pControl->SetManager(nullptr, nullptr, false);
    }
    if (!pReturn) pReturn = pControl;
  }
  return pReturn;
}

}  // namespace DuiLib
