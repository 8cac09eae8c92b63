'''A fake ModemManager for the tests: modems with bearers and calls on a private bus.

Loaded by python3-dbusmock with --template; the test drives it through the Mock interface's
methods below (tests/data/mmctl.py calls them).
'''

import dbus

from dbusmock import MOCK_IFACE

BUS_NAME = 'org.freedesktop.ModemManager1'
MAIN_OBJ = '/org/freedesktop/ModemManager1'
MAIN_IFACE = 'org.freedesktop.ModemManager1'
SYSTEM_BUS = False
IS_OBJECT_MANAGER = True

MODEM = 'org.freedesktop.ModemManager1.Modem'
VOICE = 'org.freedesktop.ModemManager1.Modem.Voice'
BEARER = 'org.freedesktop.ModemManager1.Bearer'
CALL = 'org.freedesktop.ModemManager1.Call'


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, {'Version': '1.20.4'})
    mock.counter = 0


@dbus.service.method(MOCK_IFACE, in_signature='ss', out_signature='s')
def AddModem(self, manufacturer, model):
    path = f'{MAIN_OBJ}/Modem/{self.counter}'
    self.counter += 1
    self.AddObject(path, MODEM, {
        'Manufacturer': dbus.String(manufacturer),
        'Model': dbus.String(model),
        'State': dbus.Int32(8),  # registered
        'Bearers': dbus.Array([], signature='o'),
    }, [])
    modem = dbusmock_objects()[path]
    modem.AddProperties(VOICE, {'Calls': dbus.Array([], signature='o')})
    return path


@dbus.service.method(MOCK_IFACE, in_signature='si', out_signature='')
def SetModemState(self, path, state):
    dbusmock_objects()[path].UpdateProperties(MODEM, {'State': dbus.Int32(state)})


@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='s')
def AddBearer(self, modem, apn, number):
    path = f'{MAIN_OBJ}/Bearer/{self.counter}'
    self.counter += 1
    self.AddObject(path, BEARER, {
        'Connected': dbus.Boolean(False),
        'Properties': dbus.Dictionary({'apn': dbus.String(apn), 'number': dbus.String(number)}, signature='sv'),
    }, [])
    m = dbusmock_objects()[modem]
    bearers = list(m.props[MODEM]['Bearers']) + [dbus.ObjectPath(path)]
    m.UpdateProperties(MODEM, {'Bearers': dbus.Array(bearers, signature='o')})
    return path


@dbus.service.method(MOCK_IFACE, in_signature='sb', out_signature='')
def SetBearerConnected(self, path, connected):
    dbusmock_objects()[path].UpdateProperties(BEARER, {'Connected': dbus.Boolean(connected)})


@dbus.service.method(MOCK_IFACE, in_signature='ss', out_signature='s')
def AddCall(self, modem, number):
    path = f'{MAIN_OBJ}/Call/{self.counter}'
    self.counter += 1
    self.AddObject(path, CALL, {
        'State': dbus.Int32(1),  # dialing
        'Number': dbus.String(number),
        'Direction': dbus.Int32(2),  # outgoing
    }, [])
    m = dbusmock_objects()[modem]
    calls = list(m.props[VOICE]['Calls']) + [dbus.ObjectPath(path)]
    m.UpdateProperties(VOICE, {'Calls': dbus.Array(calls, signature='o')})
    return path


@dbus.service.method(MOCK_IFACE, in_signature='si', out_signature='')
def SetCallState(self, path, state):
    dbusmock_objects()[path].UpdateProperties(CALL, {'State': dbus.Int32(state)})


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def RemoveModem(self, path):
    self.RemoveObject(path)


def dbusmock_objects():
    from dbusmock.mockobject import objects  # the mock's own table of objects
    return objects
