'''Drives the real ModemManager on a private bus as a user or another program would (mmcli's calls):
mmdrive.py ADDRESS COMMAND [ARG...]; prints the result.

  add-modem SOCKET     gives the daemon the fake modem (Test.SetProfile), waits for it to be enabled
                       and registered, prints its path
  call NUMBER          a voice call placed and started; prints the call's path
  hangup CALL          ends it
  connect APN          a data connection (Simple.Connect); prints the bearer's path
  disconnect           ends every data connection
'''

import sys
import time

import dbus

MM = 'org.freedesktop.ModemManager1'
bus = dbus.bus.BusConnection(sys.argv[1])


def obj(path):
    return bus.get_object(MM, path)


def prop(path, iface, name):
    return obj(path).Get(iface, name, dbus_interface='org.freedesktop.DBus.Properties')


def modem():
    root = obj('/org/freedesktop/ModemManager1')
    for _ in range(300):
        objects = root.GetManagedObjects(dbus_interface='org.freedesktop.DBus.ObjectManager')
        if objects:
            return list(objects)[0]
        time.sleep(0.1)
    raise SystemExit('no modem')


def wait_state(path, at_least):
    for _ in range(300):
        if prop(path, MM + '.Modem', 'State') >= at_least:
            return
        time.sleep(0.1)
    raise SystemExit('modem state stuck at %d' % prop(path, MM + '.Modem', 'State'))


command, args = sys.argv[2], sys.argv[3:]
if command == 'add-modem':
    obj('/org/freedesktop/ModemManager1').SetProfile('qv0', 'generic', [args[0]], dbus_interface=MM + '.Test')
    m = modem()
    wait_state(m, 3)  # disabled: probed
    obj(m).Enable(True, dbus_interface=MM + '.Modem', timeout=30)
    wait_state(m, 8)  # registered
    print(m)
elif command == 'call':
    c = obj(modem()).CreateCall({'number': args[0]}, dbus_interface=MM + '.Modem.Voice')
    obj(c).Start(dbus_interface=MM + '.Call', timeout=30)
    print(c)
elif command == 'hangup':
    obj(args[0]).Hangup(dbus_interface=MM + '.Call', timeout=30)
elif command == 'connect':
    print(obj(modem()).Connect({'apn': args[0]}, dbus_interface=MM + '.Modem.Simple', timeout=30))
elif command == 'disconnect':
    obj(modem()).Disconnect(dbus.ObjectPath('/'), dbus_interface=MM + '.Modem.Simple', timeout=30)
else:
    raise SystemExit('unknown command ' + command)
