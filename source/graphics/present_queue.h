// The queue's lock and event, made on first use.
#pragma once

struct port_event;

bool msgq_ready();
port_event* msgq_event();
