'''A systemd-timedated for the tests, on a private bus through python3-dbusmock.

It follows timedated's documented interface (org.freedesktop.timedate1, man 8
org.freedesktop.timedate1) where it matters to a client that corrects the clock:
SetTime(x usec_utc, b relative, b interactive) is refused with
org.freedesktop.timedate1.AutomaticTimeSyncEnabled while NTP synchronisation is
on, as the real service refuses it; SetNTP(b use_ntp, b interactive) switches it.
NTP starts on, as on a stock desktop; the parameter "NTP" says otherwise.
Nothing here touches the real clock: an accepted SetTime is only logged.
'''

import dbus

BUS_NAME = 'org.freedesktop.timedate1'
MAIN_OBJ = '/org/freedesktop/timedate1'
MAIN_IFACE = 'org.freedesktop.timedate1'
SYSTEM_BUS = True


def load(mock, parameters):
    mock.AddMethods(MAIN_IFACE, [
        ('SetTime', 'xbb', '',
         'if self.Get("%s", "NTP"):\n'
         '    raise dbus.exceptions.DBusException("Automatic time synchronization is enabled",\n'
         '        name="org.freedesktop.timedate1.AutomaticTimeSyncEnabled")' % MAIN_IFACE),
        ('SetTimezone', 'sb', '', 'self.Set("%s", "Timezone", args[0])' % MAIN_IFACE),
        ('SetLocalRTC', 'bbb', '', 'self.Set("%s", "LocalRTC", args[0])' % MAIN_IFACE),
        ('SetNTP', 'bb', '',
         'self.Set("%s", "NTP", args[0]); self.Set("%s", "NTPSynchronized", args[0])' % (MAIN_IFACE, MAIN_IFACE)),
    ])
    ntp = parameters.get('NTP', True)
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({
        'Timezone': parameters.get('Timezone', 'Europe/Rome'),
        'LocalRTC': False,
        'CanNTP': True,
        'NTP': ntp,
        'NTPSynchronized': ntp,
        'TimeUSec': dbus.UInt64(0),
        'RTCTimeUSec': dbus.UInt64(0),
    }, signature='sv'))
