-- Every database of an embedded server: its principals and role memberships.
-- uid 0 is the role public, 1 the user dbo (the owner's login), 2 guest (no login),
-- 16384 the role db_owner; users take uids from 5 up, roles from 16400 up.
PRAGMA journal_mode = WAL;
CREATE TABLE sysusers (
  uid int NOT NULL PRIMARY KEY,
  name varchar(128) COLLATE TR_CI NOT NULL UNIQUE,
  islogin int NOT NULL,
  sid varbinary(85)
);
CREATE TABLE sysmembers (
  memberuid int NOT NULL,
  groupuid int NOT NULL,
  PRIMARY KEY (memberuid, groupuid)
);
INSERT INTO sysusers (uid, name, islogin, sid) VALUES (0, 'public', 0, NULL);
INSERT INTO sysusers (uid, name, islogin, sid) VALUES (2, 'guest', 1, NULL);
INSERT INTO sysusers (uid, name, islogin, sid) VALUES (16384, 'db_owner', 0, NULL);
