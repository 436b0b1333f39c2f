'''A stand-in for UDisks2 with one card for the eject tests.

Parameters: "punkt" (the card's mount point), "unmount" ("ok", "busy",
"umount": really unmount the folder), "poweroff" ("ok", "fail", "none": the
drive cannot power off), "log" (a file each call appends its name to);
for the drive list "etykieta" (the label), "rozmiar" (bytes) and "wymienny"
(false: a fixed drive).
'''

import dbus
from dbusmock.mockobject import get_object

BUS_NAME = 'org.freedesktop.UDisks2'
MAIN_OBJ = '/org/freedesktop/UDisks2'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

BLOCK = '/org/freedesktop/UDisks2/block_devices/sdz1'
DRIVE = '/org/freedesktop/UDisks2/drives/Czytnik_SD'


def load(mock, parameters):
    log = parameters.get('log', '/dev/null')
    zapisz = "open(%r, 'a').write('%%s\\n')" % log
    unmount = parameters.get('unmount', 'ok')
    if unmount == 'busy':
        kod_unmount = (zapisz % 'Unmount') + '; raise dbus.exceptions.DBusException(' \
            '"Error unmounting /dev/sdz1: target is busy", ' \
            'name="org.freedesktop.UDisks2.Error.DeviceBusy")'
    elif unmount == 'umount':
        kod_unmount = (zapisz % 'Unmount') + '; import subprocess; ' \
            'subprocess.run(["umount", %r], check=True)' % parameters['punkt']
    else:
        kod_unmount = zapisz % 'Unmount'
    poweroff = parameters.get('poweroff', 'ok')
    kod_poweroff = zapisz % 'PowerOff'
    if poweroff == 'fail':
        kod_poweroff += '; raise dbus.exceptions.DBusException("Error powering off drive", ' \
            'name="org.freedesktop.UDisks2.Error.Failed")'

    punkt = dbus.Array([dbus.Byte(b) for b in parameters['punkt'].encode() + b'\0'],
                       signature='y')
    mock.AddObject(BLOCK, 'org.freedesktop.UDisks2.Filesystem',
                   {'MountPoints': dbus.Array([punkt], signature='ay')},
                   [('Unmount', 'a{sv}', '', kod_unmount)])
    get_object(BLOCK).AddProperties('org.freedesktop.UDisks2.Block', {
        'Drive': dbus.ObjectPath(DRIVE),
        'Device': dbus.Array([dbus.Byte(b) for b in b'/dev/sdz1\0'], signature='y'),
        'IdType': 'vfat',
        'IdLabel': parameters.get('etykieta', ''),
        'Size': dbus.UInt64(parameters.get('rozmiar', 0)),
    })
    mock.AddObject(DRIVE, 'org.freedesktop.UDisks2.Drive',
                   {'CanPowerOff': dbus.Boolean(poweroff != 'none'),
                    'Removable': dbus.Boolean(parameters.get('wymienny', True)),
                    'MediaRemovable': dbus.Boolean(False)},
                   [('PowerOff', 'a{sv}', '', kod_poweroff)])
