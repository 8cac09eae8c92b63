#!/usr/bin/python3
# Drives python3-dbusmock's NetworkManager template on a private bus the way NetworkManager itself
# changes: a device appears, a connection is stored and activated on it, a device's Metered property
# changes (a standard PropertiesChanged), a connection is taken down. Prints what the action returns.
#   nmdrive.py ADDRESS add-device NAME INTERFACE IP-INTERFACE
#   nmdrive.py ADDRESS add-connection ID UUID
#   nmdrive.py ADDRESS activate CONNECTION-PATH DEVICE-PATH
#   nmdrive.py ADDRESS deactivate ACTIVE-PATH
#   nmdrive.py ADDRESS metered DEVICE-PATH VALUE
#   nmdrive.py ADDRESS active
import sys

import dbus

NM = 'org.freedesktop.NetworkManager'
MOCK = 'org.freedesktop.DBus.Mock'
DEVICE = 'org.freedesktop.NetworkManager.Device'

bus = dbus.bus.BusConnection(sys.argv[1])
action, args = sys.argv[2], sys.argv[3:]
manager = bus.get_object(NM, '/org/freedesktop/NetworkManager')

if action == 'add-device':
    # NM_DEVICE_STATE_DISCONNECTED until a connection is activated on it; not metered as yet.
    path = manager.AddEthernetDevice(args[0], args[1], dbus.UInt32(30), dbus_interface=MOCK)
    device = bus.get_object(NM, path)
    device.AddProperty(DEVICE, 'Metered', dbus.UInt32(4), dbus_interface=MOCK)
    device.Set(DEVICE, 'IpInterface', args[2], dbus_interface=dbus.PROPERTIES_IFACE)
    print(path)
elif action == 'add-connection':
    settings = bus.get_object(NM, '/org/freedesktop/NetworkManager/Settings')
    print(settings.AddConnection({'connection': {'id': args[0], 'uuid': args[1], 'type': 'gsm'}},
                                 dbus_interface='org.freedesktop.NetworkManager.Settings'))
elif action == 'activate':
    print(manager.ActivateConnection(dbus.ObjectPath(args[0]), dbus.ObjectPath(args[1]), dbus.ObjectPath('/'),
                                     dbus_interface=NM))
elif action == 'deactivate':
    manager.DeactivateConnection(dbus.ObjectPath(args[0]), dbus_interface=NM)
    print('ok')
elif action == 'metered':
    bus.get_object(NM, args[0]).Set(DEVICE, 'Metered', dbus.UInt32(int(args[1])), dbus_interface=dbus.PROPERTIES_IFACE)
    print('ok')
elif action == 'active':
    print(' '.join(manager.Get(NM, 'ActiveConnections', dbus_interface=dbus.PROPERTIES_IFACE)))
