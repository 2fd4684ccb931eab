"""The agent's command protocol: request validation and the command table.

A request is one XML document per connection:
  <request ver="1" method="GET|POST"><cmd id="..."> parameters </cmd></request>
A reply is `<response result="1|0"> payload </response>`, UTF-8, ended by
the agent closing the connection ("package_icon" appends a NUL byte and the
PNG bytes after the XML text).

`validate` is a pure function over the request bytes: it returns a
`Request` record or raises `RequestError`, whose text is logged as a
protocol error (a drift between the program and the agent).
"""

import xml.etree.ElementTree as ET
from collections import namedtuple


class RequestError(Exception):
    pass


Request = namedtuple("Request", "command method params")

# Parameter rule: child element name, its exact attribute set, and how many
# may appear ("one" or "many": at least one).
Param = namedtuple("Param", "element attributes count")

NONE = None
CONTACT_FORM = "contact-form"

COMMANDS = {
    "connect": ("GET", NONE),
    "package_list": ("GET", NONE),
    "package_count": ("GET", NONE),
    "package_icon": ("GET", Param("packageName", ("value",), "one")),
    "package_info": ("GET", Param("packageName", ("value",), "one")),
    "contact_list": ("GET", NONE),
    "contact_count": ("GET", NONE),
    "contact_info": ("GET", Param("contact", ("id",), "one")),
    "contact_del": ("POST", Param("contact", ("id",), "one")),
    "contact_add": ("POST", CONTACT_FORM),
    "contact_edit": ("POST", CONTACT_FORM),
    "environment": ("GET", NONE),
    "storagesize_info": ("GET", NONE),
    "sms_list": ("GET", NONE),
    "sms_count": ("GET", NONE),
    "sms_del_thread": ("GET", Param("thread", ("id",), "one")),
    "sms_read": ("POST", Param("sms", ("id",), "one")),
    "sms_del": ("POST", Param("sms", ("id", "thread"), "one")),
    "music_list": ("GET", NONE),
    "music_count": ("GET", NONE),
    "music_info": ("GET", Param("m", ("id",), "many")),
    "music_del": ("GET", Param("m", ("id",), "one")),
    "music_add": ("POST", Param("file", ("file",), "one")),
    "video_list": ("GET", NONE),
    "video_count": ("GET", NONE),
    "video_info": ("GET", Param("v", ("id",), "many")),
    "video_del": ("GET", Param("v", ("id",), "one")),
    "video_add": ("POST", Param("file", ("file",), "one")),
    "image_list": ("GET", NONE),
    "image_count": ("GET", NONE),
    "image_info": ("GET", Param("p", ("id",), "many")),
    "image_del": ("POST", Param("p", ("id",), "one")),
    "image_add": ("POST", Param("file", ("path",), "one")),
}

# Attributes that must hold decimal integers (a sign is allowed).
INTEGER_ATTRIBUTES = {"id", "thread", "rawid", "_id", "status", "type", "protocol"}

# The contact in add and edit form: entry element -> attributes beside
# `_id` and `status` (which only the edit form carries).
CONTACT_ENTRIES = {
    "group": ("rawid",),
    "phone": ("number", "type", "label"),
    "email": ("address", "type", "label"),
    "postal": ("address", "type", "label"),
    "im": ("data", "type", "label", "protocol", "custom_protocol"),
}


def _is_integer(text):
    body = text[1:] if text[:1] in "+-" else text
    return body.isdigit()


def _check_attributes(element, required, optional=(), integers=True):
    names = set(element.attrib)
    missing = [a for a in required if a not in names]
    if missing:
        raise RequestError("<%s> lacks attribute %s" % (element.tag, ", ".join(missing)))
    extra = sorted(names - set(required) - set(optional))
    if extra:
        raise RequestError("<%s> has unknown attribute %s" % (element.tag, ", ".join(extra)))
    for name, value in element.attrib.items():
        if integers and name in INTEGER_ATTRIBUTES and not _is_integer(value):
            raise RequestError("<%s %s=%r> is not a decimal integer" % (element.tag, name, value))


def _check_contact_form(command, cmd):
    edit = command == "contact_edit"
    contacts = list(cmd)
    if len(contacts) != 1 or contacts[0].tag != "contact":
        raise RequestError("%s needs exactly one <contact> child" % command)
    contact = contacts[0]
    _check_attributes(contact, ("id", "name") if edit else ("name",))
    for entry in contact:
        if entry.tag not in CONTACT_ENTRIES:
            raise RequestError("<contact> has unknown child <%s>" % entry.tag)
        if len(entry):
            raise RequestError("<%s> must be empty" % entry.tag)
        fields = CONTACT_ENTRIES[entry.tag]
        if edit:
            _check_attributes(entry, fields + ("status",), ("_id",))
            status = int(entry.get("status"))
            if status not in (1, 2, 3):
                raise RequestError("<%s status=%d> is not 1, 2 or 3" % (entry.tag, status))
            if status != 1 and "_id" not in entry.attrib:
                raise RequestError("<%s status=%d> lacks _id" % (entry.tag, status))
        else:
            _check_attributes(entry, fields)


def validate(raw):
    """Parses and checks one request; returns a Request or raises RequestError."""
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as err:
        raise RequestError("request is not UTF-8: %s" % err)
    if "\0" in text:
        raise RequestError("request holds a NUL byte")
    try:
        root = ET.fromstring(text)
    except ET.ParseError as err:
        raise RequestError("request is not well-formed XML: %s" % err)
    if root.tag != "request":
        raise RequestError("root element is <%s>, not <request>" % root.tag)
    _check_attributes(root, ("ver", "method"), integers=False)
    if root.get("ver") != "1":
        raise RequestError("request ver=%r, not \"1\"" % root.get("ver"))
    method = root.get("method")
    if method not in ("GET", "POST"):
        raise RequestError("request method=%r" % method)
    if (root.text or "").strip():
        raise RequestError("<request> holds text")
    cmds = list(root)
    if len(cmds) != 1 or cmds[0].tag != "cmd":
        raise RequestError("<request> needs exactly one <cmd> child")
    cmd = cmds[0]
    _check_attributes(cmd, ("id",), integers=False)
    command = cmd.get("id")
    if command not in COMMANDS:
        raise RequestError("unknown command id %r" % command)
    want_method, rule = COMMANDS[command]
    if method != want_method:
        raise RequestError("%s sent with method %s, expected %s" % (command, method, want_method))
    if rule is NONE:
        if len(cmd):
            raise RequestError("%s takes no parameters, got <%s>" % (command, cmd[0].tag))
        return Request(command, method, [])
    if rule == CONTACT_FORM:
        _check_contact_form(command, cmd)
        return Request(command, method, list(cmd))
    params = list(cmd)
    if not params:
        raise RequestError("%s lacks its <%s> child" % (command, rule.element))
    if rule.count == "one" and len(params) != 1:
        raise RequestError("%s takes one <%s> child, got %d" % (command, rule.element, len(params)))
    for param in params:
        if param.tag != rule.element:
            raise RequestError("%s: unexpected child <%s>, expected <%s>"
                               % (command, param.tag, rule.element))
        if len(param):
            raise RequestError("<%s> must be empty" % param.tag)
        _check_attributes(param, rule.attributes)
    return Request(command, method, params)


def build_reply(result, children=(), root_tag="response"):
    """Reply bytes: XML declaration, then <response result=...> with the children."""
    root = ET.Element(root_tag, {"result": result})
    for child in children:
        root.append(child)
    return b'<?xml version="1.0" encoding="UTF-8"?>' + ET.tostring(root, encoding="utf-8",
                                                                   xml_declaration=False)


def element(tag, **attributes):
    """An element whose attribute values are turned into text in the given order."""
    el = ET.Element(tag)
    for name, value in attributes.items():
        el.set(name, str(value))
    return el
