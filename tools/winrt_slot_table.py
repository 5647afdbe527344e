#!/usr/bin/env python3
"""Writes ble/winrt_slot_table.h from the Windows Runtime Bluetooth ABI listing (Markdown).

For every interface the flat layer declares it records the interface id and the method at every
slot, read from the listing's tables, inline slot lists and generic-instance tables, so the
layout test can hold our declarations against the listing itself rather than against a copy.

    python3 tools/winrt_slot_table.py LISTING.md > ble/winrt_slot_table.h
"""
import re
import sys

# Each entry: our declaration, its IID constant, how the listing names it, and where its id
# comes from: ("own", name) the interface's own id; ("instance", T, column) a row of the
# generic-instance table (column 0 the operation, 1 its completion handler); ("other", text)
# the table of other instances; ("delegate", alias) the event delegate table.


def own(declaration, constant):
    return (declaration, constant, declaration, ("own", declaration))


def delegate(declaration, constant, alias):
    return (declaration, constant, alias, ("delegate", alias))


def instance(declaration, constant, result, column):
    listed = ("IAsyncOperation<T>", "AsyncOperationCompletedHandler<T>")[column]
    return (declaration, constant, listed, ("instance", result, column))


def other(declaration, constant, text):
    return (declaration, constant, re.sub(r"<\w+>", "<T>", text), ("other", text))


DECLARED = [
    own("IAsyncInfo", "IID_AsyncInfo"),
    own("IClosable", "IID_Closable"),
    own("IBuffer", "IID_Buffer"),
    own("IBufferFactory", "IID_BufferFactory"),
    own("IBufferByteAccess", "IID_BufferByteAccess"),
    own("IBluetoothLEAdvertisement", "IID_Advertisement"),
    own("IBluetoothLEAdvertisementReceivedEventArgs", "IID_AdvertisementReceivedEventArgs"),
    own("IBluetoothLEAdvertisementWatcherStoppedEventArgs", "IID_WatcherStoppedEventArgs"),
    delegate("IReceivedHandler", "IID_ReceivedHandler", "ReceivedHandler"),
    delegate("IStoppedHandler", "IID_StoppedHandler", "StoppedHandler"),
    own("IBluetoothLEAdvertisementWatcher", "IID_AdvertisementWatcher"),
    instance("IAsyncDeviceOperation", "IID_IAsyncDeviceOperation", "BluetoothLEDevice", 0),
    instance("IAsyncDeviceOperationHandler", "IID_IAsyncDeviceOperationHandler",
             "BluetoothLEDevice", 1),
    instance("IAsyncServicesOperation", "IID_IAsyncServicesOperation",
             "GattDeviceServicesResult", 0),
    instance("IAsyncServicesOperationHandler", "IID_IAsyncServicesOperationHandler",
             "GattDeviceServicesResult", 1),
    instance("IAsyncCharacteristicsOperation", "IID_IAsyncCharacteristicsOperation",
             "GattCharacteristicsResult", 0),
    instance("IAsyncCharacteristicsOperationHandler", "IID_IAsyncCharacteristicsOperationHandler",
             "GattCharacteristicsResult", 1),
    instance("IAsyncStatusOperation", "IID_IAsyncStatusOperation", "GattCommunicationStatus", 0),
    instance("IAsyncStatusOperationHandler", "IID_IAsyncStatusOperationHandler",
             "GattCommunicationStatus", 1),
    own("IBluetoothLEDeviceStatics", "IID_DeviceStatics"),
    own("IBluetoothLEDevice", "IID_Device"),
    delegate("IDeviceHandler", "IID_DeviceHandler", "DeviceHandler"),
    own("IBluetoothLEDevice3", "IID_Device3"),
    other("IServiceVectorView", "IID_ServiceVectorView", "IVectorView<GattDeviceService>"),
    other("ICharacteristicVectorView", "IID_CharacteristicVectorView",
          "IVectorView<GattCharacteristic>"),
    own("IGattDeviceServicesResult", "IID_DeviceServicesResult"),
    own("IGattDeviceService", "IID_DeviceService"),
    own("IGattDeviceService3", "IID_DeviceService3"),
    own("IGattCharacteristicsResult", "IID_CharacteristicsResult"),
    own("IGattValueChangedEventArgs", "IID_ValueChangedEventArgs"),
    delegate("IValueChangedHandler", "IID_ValueChangedHandler", "ValueChangedHandler"),
    own("IGattCharacteristic", "IID_Characteristic"),
]

GUID = r"\{([0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12})\}"


def fail(message):
    sys.exit("winrt_slot_table: " + message)


def read_listing(text):
    """Returns {name: (iid or None, {slot: method})} for every interface the listing lays out."""
    found = {}
    lines = text.splitlines()

    def add(name, iid, slots):
        if not slots:
            return
        old_iid, old_slots = found.get(name, (None, {}))
        for slot, method in slots.items():
            if old_slots.get(slot, method) != method:
                fail(f"{name} slot {slot} is listed as both {old_slots[slot]} and {method}")
        old_slots.update(slots)
        found[name] = (iid or old_iid, old_slots)

    # Tables: a bold interface name with its id, then |slot|method|params| rows.
    for index, line in enumerate(lines):
        heading = re.match(r"^\*\*(I\w+)\*\* " + GUID, line)
        if not heading:
            continue
        slots = {}
        for row in lines[index + 1:]:
            if row.startswith("**") or row.startswith("#"):
                break
            cell = re.match(r"^\|(\d+)\|(\w+)\|", row)
            if cell:
                slots[int(cell.group(1))] = cell.group(2)
        add(heading.group(1), heading.group(2).lower(), slots)

    # Inline lists: "- **IName** {iid} (...): 6 `get_X(...)`, 7 `put_X(...)`" over one or
    # more lines, or sub-bullets "  - 6 Name".
    for index, line in enumerate(lines):
        heading = re.match(r"^- \*\*(I\w+)\*\* " + GUID + r"[^:]*:(.*)$", line)
        if not heading:
            continue
        body = heading.group(3)
        for more in lines[index + 1:]:
            if not more.startswith("  "):
                break
            body += " " + more
        slots = {}
        for slot, method in re.findall(r"(?<![\w.])(\d+)\s+`?(\w+)[(`,\s]", body + " "):
            slots[int(slot)] = method
        add(heading.group(1), heading.group(2).lower(), slots)

    # Classic COM interfaces described in a sentence: "**IName** {iid} ... Slot 3 is `M(...)`".
    for match in re.finditer(r"\*\*(I\w+)\*\* " + GUID + r"[^*]*?Slot (\d+) is `(\w+)\(", text):
        add(match.group(1), match.group(2).lower(), {int(match.group(3)): match.group(4)})

    # Generic interfaces and IAsyncInfo: "| `IName<T>` ... | {iid} | `6 M(...), 7 N(...)` |".
    for line in lines:
        row = re.match(r"^\| `([\w<>,]+)`[^|]*\| " + GUID + r" \| `([^|]*)` \|", line)
        if row:
            slots = {int(s): m for s, m in re.findall(r"(?:^|, )(\d+) (\w+)", row.group(3))}
            add(row.group(1), row.group(2).lower(), slots)

    # Event delegates: "| Alias | `TypedEventHandler<...>` | {iid} | `Invoke, slot 3`...".
    for line in lines:
        row = re.match(r"^\| (\w+Handler) \| `[^`]*` \| " + GUID + r" \|", line)
        if row:
            add(row.group(1), row.group(2).lower(), {3: "Invoke"})
    return found


def instance_ids(text):
    """Returns ({T: (operation iid, handler iid)}, {instance text: iid})."""
    operations = {}
    others = {}
    for line in text.splitlines():
        row = re.match(r"^\| (\w+) \| " + GUID + r" \| " + GUID + r" \|$", line)
        if row:
            operations[row.group(1)] = (row.group(2).lower(), row.group(3).lower())
        row = re.match(r"^\| `([\w<>]+)` \| " + GUID + r" \|$", line)
        if row:
            others[row.group(1)] = row.group(2).lower()
    return operations, others


def main():
    if len(sys.argv) != 2:
        fail("usage: winrt_slot_table.py LISTING.md")
    with open(sys.argv[1], encoding="utf-8") as listing:
        text = listing.read()
    interfaces = read_listing(text)
    operations, others = instance_ids(text)

    out = []
    out.append("#pragma once")
    out.append("")
    out.append("// Generated by tools/winrt_slot_table.py from the Windows Runtime Bluetooth ABI "
               "listing;")
    out.append("// do not edit. For each interface the flat layer declares: its id, the first "
               "slot of its")
    out.append("// own methods and the method the platform has at every slot from there on.")
    out.append("")
    out.append("#include <windows.h>")
    out.append("")
    out.append("// WINRT_SLOT_TABLE(INTERFACE, METHOD) expands INTERFACE(Declaration, IidConstant,")
    out.append("// iid, firstSlot, lastSlot) once per interface, followed by METHOD(Declaration, "
               "name, slot)")
    out.append("// for each of its slots.")
    out.append("#define WINRT_SLOT_TABLE(INTERFACE, METHOD) \\")
    names = []
    for declaration, constant, listed, source in DECLARED:
        if listed not in interfaces:
            fail(f"the listing has no slots for {listed}")
        own_iid, slots = interfaces[listed]
        kind = source[0]
        if kind == "own":
            iid = own_iid
        elif kind == "delegate":
            iid = own_iid
        elif kind == "instance":
            if source[1] not in operations:
                fail(f"the listing has no instance ids for {source[1]}")
            iid = operations[source[1]][source[2]]
        else:
            if source[1] not in others:
                fail(f"the listing has no id for {source[1]}")
            iid = others[source[1]]
        if iid is None:
            fail(f"no id for {listed}")
        first, last = min(slots), max(slots)
        missing = [s for s in range(first, last + 1) if s not in slots]
        if missing:
            fail(f"{listed} has no method listed at slots {missing}")
        out.append(f"    INTERFACE({declaration}, {constant}, \"{iid}\", {first}, {last}) \\")
        for slot in range(first, last + 1):
            out.append(f"    METHOD({declaration}, {slots[slot]}, {slot}) \\")
            if slots[slot] not in names:
                names.append(slots[slot])
    out.append("")
    out.append("")
    out.append("// Every method name of the table once, for member detection.")
    out.append("#define WINRT_SLOT_METHOD_NAMES(NAME) \\")
    for name in names:
        out.append(f"    NAME({name}) \\")
    out.append("")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
