'''Calls a method of the fake ModemManager's Mock interface: mmctl.py ADDRESS METHOD [ARG...].
"i:N" goes as an integer, "b:true"/"b:false" as a boolean, anything else as a string; the result
is printed.'''

import sys

import dbus

bus = dbus.bus.BusConnection(sys.argv[1])
mock = dbus.Interface(bus.get_object('org.freedesktop.ModemManager1', '/org/freedesktop/ModemManager1'),
                      'org.freedesktop.DBus.Mock')


def value(text):
    if text.startswith('i:'):
        return int(text[2:])
    if text.startswith('b:'):
        return text[2:] == 'true'
    return text


result = getattr(mock, sys.argv[2])(*[value(a) for a in sys.argv[3:]])
if result is not None:
    print(result)
