select * from sys.tables where name = 'Customer'
SELECT name FROM sys.databases WHERE name = N'x' AND database_id > 4;
select @@SERVERNAME, @@VERSION, db_name()
USE [master]; SET ANSI_NULLS ON
set textsize 2147483647
/* comment */ -- line
DROP DATABASE [Sales]
CREATE SCHEMA s
DROP TABLE dbo.[T x]
select top 5 name as n, 1+2*3 x from master.sys.objects order by name