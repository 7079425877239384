-- The registry of data servers, read by the run-time as mat..tbOrraConnections.
CREATE TABLE tbOrraConnections (
  Server varchar(255) COLLATE TR_CI NOT NULL CONSTRAINT PK_tbOrraConnections PRIMARY KEY,
  IP varchar(50) COLLATE TR_CI,
  "Database" varchar(255) COLLATE TR_CI,
  UserName varchar(255) COLLATE TR_CI NOT NULL,
  UserPwd varchar(100) COLLATE TR_CI NOT NULL
);
