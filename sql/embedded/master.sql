-- The master database of an embedded server: logins and live sessions.
CREATE TABLE syslogins (
  name varchar(128) COLLATE TR_CI NOT NULL PRIMARY KEY,
  sid varbinary(85) NOT NULL UNIQUE,
  password_hash varchar(256),        -- NULL for an operating-system (trusted) login
  isntname int NOT NULL,
  sysadmin int NOT NULL,
  createdate datetime NOT NULL
);
CREATE TABLE sysprocesses (
  spid int NOT NULL PRIMARY KEY,
  pid int NOT NULL,                  -- operating-system process of the session
  process_start bigint NOT NULL,     -- its start time, so that a reused pid is not taken for it
  loginame varchar(128) COLLATE TR_CI NOT NULL,
  dbname varchar(128) COLLATE TR_CI,
  login_time datetime NOT NULL
);
